#include "platform/devices/port_map.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include "platform/errors/errors.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"

namespace platform {

namespace {

// The defaults: a fixed port number per device, so that a port keeps its name across plugging.
struct DefaultPorts {
  const char* device;  // name in /dev without the number
  int firstPort;       // COM number of device 0
  int count;
  bool onlyRealUarts;  // ttyS devices exist for every possible UART; only some are there
};

constexpr DefaultPorts kDefaults[] = {
    {"ttyS", 1, 2, true},
    {"ttyUSB", 3, 3, false},
    {"rfcomm", 6, 1, false},
    {"ttyACM", 7, 3, false},
};

constexpr int kMaxPortNumber = 255;

// $name when set and not empty, else the real folder; read on every call so tests can move it.
std::string RootFolder(const char* variable, const char* real) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0' ? value : real;
}

bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

// The kernel gives a UART that is not there the type 0 ("unknown").
bool IsRealUart(const std::string& sysRoot, const std::string& device) {
  std::ifstream typeFile(sysRoot + "/class/tty/" + device + "/type");
  int type = 0;
  return static_cast<bool>(typeFile >> type) && type != 0;
}

void AddDefaults(std::map<int, std::string>& ports) {
  const std::string devRoot = RootFolder("DW_DEV_ROOT", "/dev");
  const std::string sysRoot = RootFolder("DW_SYS_ROOT", "/sys");
  for (const DefaultPorts& kind : kDefaults) {
    for (int i = 0; i < kind.count; ++i) {
      std::string device = kind.device;
      device += std::to_string(i);
      std::string path = devRoot;
      path += '/';
      path += device;
      if (Exists(path) && (!kind.onlyRealUarts || IsRealUart(sysRoot, device))) ports[kind.firstPort + i] = path;
    }
  }
}

// A registry entry decides its port: it names the device, and when that device does not exist the
// port is not there, even if a default would have given it one. Returns 0, or the registry's error
// when the map could not be read (a missing key is an empty map).
uint32_t ApplyRegistry(std::map<int, std::string>& ports) {
  RegistryKey key;
  const uint32_t opened = RegistryKey::Open(Hive::kLocalMachine, kPortMapKey, key);
  if (opened != 0) return opened == kErrorFileNotFound ? 0 : opened;
  std::string name;
  ValueType type = ValueType::kNone;
  uint32_t error = 0;
  for (uint32_t i = 0; (error = key.EnumValue(i, name, &type)) == 0; ++i) {
    const std::optional<int> port = ParseComPortName(name);
    std::string path;
    if (!port || type != ValueType::kString || key.QueryString(name, path) != 0) continue;
    if (Exists(path)) {
      ports[*port] = path;
    } else {
      ports.erase(*port);
    }
  }
  return error == kErrorNoMoreItems ? 0 : error;
}

}  // namespace

std::optional<int> ParseComPortName(std::string_view name) {
  if (name.size() < 5 || name.size() > 7 || !EqualsNoCase(name.substr(0, 3), "COM") || name.back() != ':') {
    return std::nullopt;
  }
  int number = 0;
  for (const char c : name.substr(3, name.size() - 4)) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
  }
  return number <= kMaxPortNumber ? std::optional<int>(number) : std::nullopt;
}

std::vector<std::pair<std::string, std::string>> PortMap(uint32_t* registryError) {
  std::map<int, std::string> ports;
  AddDefaults(ports);
  const uint32_t error = ApplyRegistry(ports);
  if (registryError != nullptr) *registryError = error;
  std::vector<std::pair<std::string, std::string>> map;
  map.reserve(ports.size());
  for (const auto& [number, path] : ports) map.emplace_back("COM" + std::to_string(number) + ":", path);
  return map;
}

std::optional<std::string> ResolvePortName(std::string_view deviceName, uint32_t* registryError) {
  if (registryError != nullptr) *registryError = 0;
  if (deviceName.size() >= 2 && deviceName.front() == '/' && deviceName.back() == ':') {
    return std::string(deviceName.substr(0, deviceName.size() - 1));
  }
  const std::optional<int> port = ParseComPortName(deviceName);
  if (!port) return std::nullopt;
  const std::string wanted = "COM" + std::to_string(*port) + ":";
  for (auto& [name, path] : PortMap(registryError)) {
    if (name == wanted) return path;
  }
  return std::nullopt;
}

}  // namespace platform
