#include "driver/registry/port_table.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "driver/registry/driver_keys.h"
#include "platform/devices/device.h"
#include "platform/errors/errors.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"

namespace driver {

namespace {

void CopyText(char (&target)[kPortTextSize], const char* text) {
  std::snprintf(target, sizeof target, "%s", text == nullptr ? "" : text);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && platform::EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// Compares the first n characters without regard to case, as the port names are matched and sorted.
int CompareFirstNoCase(std::string_view a, std::string_view b, size_t n) {
  return platform::CompareNoCase(a.substr(0, std::min(a.size(), n)), b.substr(0, std::min(b.size(), n)));
}

// 0 when the key was handled (listed or skipped), else the error that ends the enumeration.
uint32_t VisitDriverKey(const platform::RegistryKey& root, const std::string& keyName,
                        const DriverKeyCallback& callback, bool filterCom, bool& goOn) {
  platform::RegistryKey key;
  if (platform::RegistryKey::Open(platform::Hive::kLocalMachine, root.Path() + "\\" + keyName, key) != 0) return 0;
  std::string prefix;
  if (key.QueryString("PREFIX", prefix) != 0) return 0;
  if (filterCom && !StartsWithNoCase(prefix, "COM")) return 0;
  uint32_t index = 0;
  const uint32_t error = key.QueryDword("INDEX", index);
  if (error == platform::kErrorFileNotFound) return 0;
  if (error != 0) return error;

  char portName[300];
  std::snprintf(portName, sizeof portName, "%s%u:", prefix.c_str(), index);
  std::string friendlyName;
  if (key.QueryString("FRIENDLYNAME", friendlyName) != 0) friendlyName = keyName;
  std::string imprint;
  if (key.QueryString("Imprint", imprint) != 0) imprint.clear();
  goOn = callback(keyName.c_str(), portName, friendlyName.c_str(), "", imprint.c_str()) != 0;
  return 0;
}

// The active devices as the system hands them over: names, each with its terminator, in a buffer of
// `capacity` characters. Only the names that fit are kept; false when some did not.
bool ListDevices(size_t capacity, std::vector<std::string>& names) {
  size_t used = 1;  // the list's own final terminator
  for (std::string& name : platform::EnumDevices()) {
    if (used + name.size() + 1 > capacity) return false;
    used += name.size() + 1;
    names.push_back(std::move(name));
  }
  return true;
}

}  // namespace

bool IsOwnImprint(const char* imprint) { return imprint != nullptr && StartsWithNoCase(imprint, kImprintPrefix); }

uint32_t EnumerateDriverKeys(const DriverKeyCallback& callback, bool filterCom) {
  for (const char* rootPath : {kDriversRoot, kBuiltInRoot}) {
    platform::RegistryKey root;
    const uint32_t openError = platform::RegistryKey::Open(platform::Hive::kLocalMachine, rootPath, root);
    if (openError == platform::kErrorFileNotFound) continue;
    if (openError != 0) return openError;
    std::string keyName;
    for (uint32_t i = 0; root.EnumSubkey(i, keyName) == 0; ++i) {
      bool goOn = true;
      if (const uint32_t error = VisitDriverKey(root, keyName, callback, filterCom, goOn)) return error;
      if (!goOn) return 0;
    }
  }
  return 0;
}

bool IsDriverPort(std::string_view portName) {
  bool listed = false;
  EnumerateDriverKeys(
      [&](const char*, const char* port, const char*, const char*, const char*) {
        listed = platform::EqualsNoCase(port, portName);
        return listed ? 0 : 1;
      },
      true);
  return listed;
}

int PortTable::AddEntry(const char* keyName, const char* portName, const char* friendlyName, const char* spare,
                        const char* imprint) {
  if (entries_.size() >= capacity_) return 1;
  PortEntry& entry = entries_.emplace_back();
  CopyText(entry.portName, portName);
  CopyText(entry.keyName, keyName);
  CopyText(entry.friendlyName, friendlyName);
  CopyText(entry.spare, spare);
  CopyText(entry.imprint, imprint);
  return 1;
}

size_t PortTable::BuildPortTable(platform::Reporter& reporter) {
  entries_.clear();
  EnumerateDriverKeys([this](const char* key, const char* port, const char* friendly, const char* spare,
                             const char* imprint) { return AddEntry(key, port, friendly, spare, imprint); },
                      true);

  std::vector<std::string> devices;
  if (!ListDevices(deviceListChars_, devices)) {
    reporter.ErrorCode(platform::kErrorInsufficientBuffer, "Not enough place reserved for the device list.\n");
  }
  const auto listed = [this](std::string_view name, size_t n) {
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const PortEntry& e) { return CompareFirstNoCase(e.portName, name, n) == 0; });
  };
  for (const std::string& device : devices) {
    if (entries_.size() >= capacity_) break;
    if (listed(device, 5)) continue;
    if (StartsWithNoCase(device, "COM") && device.size() > 3 && device[3] >= '0' && device[3] <= '9') {
      AddEntry("", device.c_str(), "", "", "");
    }
  }

  if (!listed("COM6:", 5) && entries_.size() < capacity_ &&
      platform::OpenDevice("COM6:", platform::kGenericRead, platform::kFileShareRead) != nullptr) {
    AddEntry("", "COM6:", "? Hidden Bluetooth ?", "", "");
  }

  std::stable_sort(entries_.begin(), entries_.end(), [](const PortEntry& a, const PortEntry& b) {
    return CompareFirstNoCase(a.portName, b.portName, 8) < 0;
  });
  return entries_.size();
}

}  // namespace driver
