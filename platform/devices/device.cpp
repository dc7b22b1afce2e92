#include "platform/devices/device.h"

#include <strings.h>

#include <algorithm>

#include "platform/devices/device_manager.h"
#include "platform/devices/file_device.h"
#include "platform/devices/port_map.h"
#include "platform/devices/serial_control.h"
#include "platform/devices/serial_port.h"
#include "platform/devices/virtual_port.h"
#include "platform/errors/errors.h"
#include "platform/paths/paths.h"

namespace platform {

std::unique_ptr<Device> OpenDevice(std::string_view name, uint32_t access, uint32_t shareMode) {
  if (name.empty() || name.back() != ':') return FileDevice::Open(ToLinuxPath(name), access);
  if (name.front() != '/') {
    bool isVirtual = false;
    std::unique_ptr<Device> port = VirtualPort::Open(name, access, shareMode, &isVirtual);
    if (isVirtual) return port;
  }
  uint32_t mapError = 0;
  const std::optional<std::string> path = ResolvePortName(name, &mapError);
  if (!path) {
    // A port that a damaged registry may have mapped is not simply missing.
    SetLastError(mapError != 0 ? mapError : kErrorFileNotFound);
    return nullptr;
  }
  return SerialPort::Open(*path, access);
}

std::vector<std::string> EnumDevices() {
  std::vector<std::string> names;
  for (auto& [name, path] : PortMap()) names.push_back(name);
  for (const auto& device : ListDevices().value_or(std::vector<ActiveDevice>{})) {
    const bool known = std::any_of(names.begin(), names.end(), [&](const std::string& name) {
      return strcasecmp(name.c_str(), device.name.c_str()) == 0;
    });
    if (!known) names.push_back(device.name);
  }
  return names;
}

bool GetSerialSettings(Device& device, SerialSettings& settings) {
  return device.IoControl(kIoctlSerialGetDcb, nullptr, 0, &settings, sizeof settings, nullptr);
}

bool SetSerialSettings(Device& device, const SerialSettings& settings) {
  return device.IoControl(kIoctlSerialSetDcb, &settings, sizeof settings, nullptr, 0, nullptr);
}

bool GetSerialTimeouts(Device& device, SerialTimeouts& timeouts) {
  return device.IoControl(kIoctlSerialGetTimeouts, nullptr, 0, &timeouts, sizeof timeouts, nullptr);
}

bool SetSerialTimeouts(Device& device, const SerialTimeouts& timeouts) {
  return device.IoControl(kIoctlSerialSetTimeouts, &timeouts, sizeof timeouts, nullptr, 0, nullptr);
}

}  // namespace platform
