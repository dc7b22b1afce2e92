#include "manager/core/active_instance.h"

#include <cstdio>
#include <vector>

#include "driver/registry/driver_keys.h"
#include "platform/devices/device_manager.h"
#include "platform/errors/errors.h"
#include "platform/paths/paths.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"

namespace manager {

namespace {

using platform::Hive;
using platform::RegistryKey;

constexpr const char* kPreviousDll = "Sercast.dll";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && platform::EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

struct ActiveKey {
  std::string key;
  std::optional<uint32_t> handle;
  std::string name;
};

// The hive outlives the device manager (a crash, a power cut): while none runs, what Drivers\Active
// still holds is no loaded device, and taking it for one would leave a driver that can be neither
// activated nor deactivated.
std::vector<ActiveKey> ReadActiveKeys() {
  std::vector<ActiveKey> keys;
  if (!platform::DeviceManagerRunning()) return keys;
  RegistryKey active;
  if (RegistryKey::Open(Hive::kLocalMachine, driver::kActiveRoot, active) != 0) return keys;
  std::string number;
  for (uint32_t i = 0; active.EnumSubkey(i, number) == 0; ++i) {
    RegistryKey device;
    if (RegistryKey::Open(Hive::kLocalMachine, platform::JoinPath(driver::kActiveRoot, number), device) != 0) continue;
    ActiveKey& entry = keys.emplace_back();
    device.QueryString("Key", entry.key);
    uint32_t handle = 0;
    if (device.QueryDword("Hnd", handle) == 0) entry.handle = handle;
    device.QueryString("Name", entry.name);
  }
  return keys;
}

// The text from the first case-blind occurrence of the registry name on must be the name itself:
// "Drivers\SercastNGTMC" is no key of "SercastNG".
bool KeyOfInstance(std::string_view key, std::string_view registryName) {
  const std::string lowerKey = platform::ToLowerAscii(key);
  const size_t at = lowerKey.find(platform::ToLowerAscii(registryName));
  return at != std::string::npos && platform::EqualsNoCase(key.substr(at), registryName);
}

std::string DllOf(std::string_view keyPath) {
  RegistryKey key;
  std::string dll;
  if (RegistryKey::Open(Hive::kLocalMachine, keyPath, key) == 0) key.QueryString("Dll", dll);
  return dll;
}

// Only a name the way the device manager writes them, "COM" and a plain decimal number.
std::optional<int> ComNumber(std::string_view name) {
  const int n = PortNumber(name);
  if (n < 0) return std::nullopt;
  char expected[16];
  std::snprintf(expected, sizeof expected, "COM%d:", n);
  return name == expected ? std::optional<int>(n) : std::nullopt;
}

void ReadConfiguration(ActiveInstance& instance, platform::Reporter& reporter) {
  RegistryKey key;
  const char* path = instance.keyPath.c_str();
  if (const uint32_t error = RegistryKey::Open(Hive::kLocalMachine, instance.keyPath, key)) {
    reporter.ErrorCode(error, "Failed to open 'HKEY_LOCAL_MACHINE\\%s'\n", path);
    return;
  }
  if (const uint32_t error = key.QueryDword("InPortIndex", instance.inPortIndex)) {
    reporter.ErrorCode(error, "Failed to query 'HKEY_LOCAL_MACHINE\\%s\\%s'\n", path, "InPortIndex");
  }
  if (key.QueryString("InPortName", instance.inPortName) != 0) {
    char name[32];
    std::snprintf(name, sizeof name, "COM%u:", instance.inPortIndex);
    instance.inPortName = name;
  }
  if (key.QueryDword("InBaud", instance.inBaud) != 0) instance.inBaud = 4800;
  if (key.QueryDword("NMEAFilter", instance.nmeaFilter) != 0) instance.nmeaFilter = 0;
  if (const uint32_t error = key.QueryString("File", instance.file)) {
    instance.file.clear();
    reporter.ErrorCode(error, "Failed to query 'HKEY_LOCAL_MACHINE\\%s\\%s'\n", path, "File");
  }
}

}  // namespace

int InputKind(std::string_view entry) { return entry == "FILE" ? kFileInputKind : PortNumber(entry); }

int PortNumber(std::string_view entry) {
  if (entry.size() < 4 || entry[3] < '0' || entry[3] > '9') return kInvalidKind;
  int number = 0;
  for (size_t i = 3; i < entry.size() && entry[i] >= '0' && entry[i] <= '9'; ++i) {
    number = number * 10 + (entry[i] - '0');
    if (number >= kPortNumberLimit) return kInvalidKind;
  }
  return number;
}

std::string ActiveInstance::InputEntry() const { return InputKind() == kFileInputKind ? "FILE" : inPortName; }

std::optional<ActiveInstance> FindActiveInstance(std::string_view portName, std::string_view registryName,
                                                 platform::Reporter& reporter) {
  if (!StartsWithNoCase(portName, "COM")) return std::nullopt;
  for (const ActiveKey& active : ReadActiveKeys()) {
    if (!KeyOfInstance(active.key, registryName) || active.name != portName || !active.handle) continue;
    ActiveInstance instance;
    instance.handle = *active.handle;
    instance.portName = active.name;
    instance.keyPath = active.key;
    instance.root = platform::RemoveTrailingSeparator(platform::FolderPart(active.key));
    ReadConfiguration(instance, reporter);
    return instance;
  }
  return std::nullopt;
}

std::optional<std::string> LowestActivePort(std::string_view registryName) {
  std::optional<int> lowest;
  for (const ActiveKey& active : ReadActiveKeys()) {
    if (!KeyOfInstance(active.key, registryName) || !active.handle) continue;
    const std::optional<int> n = ComNumber(active.name);
    if (n && (!lowest || *n < *lowest)) lowest = n;
  }
  if (!lowest) return std::nullopt;
  return "COM" + std::to_string(*lowest) + ":";
}

void RemovePreviousGeneration() {
  // Each unload removes an active key, so the walk starts again only a bounded number of times; a
  // device that cannot be unloaded is passed over instead of being tried for ever.
  for (bool unloaded = true; unloaded;) {
    unloaded = false;
    for (const ActiveKey& active : ReadActiveKeys()) {
      if (!platform::ContainsNoCase(active.key, "Sercast") || !active.handle || !StartsWithNoCase(active.name, "COM") ||
          !platform::EqualsNoCase(DllOf(active.key), kPreviousDll)) {
        continue;
      }
      if (platform::DeactivateDeviceHandle(*active.handle)) {
        unloaded = true;
        break;
      }
    }
  }
  for (const char* root : {driver::kDriversRoot, driver::kBuiltInRoot}) {
    for (const char* name : {"Sercast", "SercastAV"}) {
      const std::string path = platform::JoinPath(root, name);
      if (platform::EqualsNoCase(DllOf(path), kPreviousDll)) RegistryKey::DeleteKey(Hive::kLocalMachine, path);
    }
  }
}

}  // namespace manager
