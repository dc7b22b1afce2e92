#include "driver/registry/driver_keys.h"

#include <cstdio>

#include "platform/errors/errors.h"
#include "platform/paths/paths.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"

namespace driver {

namespace {

// Stops at the first failing write: a half-written key is reported, never taken for a whole one.
class ValueWriter {
 public:
  explicit ValueWriter(platform::RegistryKey& key) : key_(key) {}
  ValueWriter& String(std::string_view name, std::string_view value) {
    if (error_ == 0) error_ = key_.SetString(name, value);
    return *this;
  }
  ValueWriter& Dword(std::string_view name, uint32_t value) {
    if (error_ == 0) error_ = key_.SetDword(name, value);
    return *this;
  }
  uint32_t Error() const { return error_; }

 private:
  platform::RegistryKey& key_;
  uint32_t error_ = 0;
};

void QueryOptionalString(const platform::RegistryKey& key, std::string_view name, std::string& value) {
  std::string read;
  if (key.QueryString(name, read) == 0) value = read;
}

void QueryOptionalDword(const platform::RegistryKey& key, std::string_view name, uint32_t& value) {
  uint32_t read = 0;
  if (key.QueryDword(name, read) == 0) value = read;
}

}  // namespace

std::string InstanceSuffix(std::string_view programName) {
  const std::string base = platform::BaseNamePart(programName);
  const std::string_view manager = kManagerBaseName;
  if (base.size() < manager.size() || !platform::EqualsNoCase(base.substr(0, manager.size()), manager)) return {};
  return std::string(base.substr(manager.size()));
}

std::string RegistryName(std::string_view programName) { return kDriverBaseName + InstanceSuffix(programName); }

const char* DriverKeyRoot(bool resident, int osMajorVersion) {
  return resident && osMajorVersion < 5 ? kBuiltInRoot : kDriversRoot;
}

DriverKeyValues MakeDriverKeyValues(std::string_view registryName, std::string_view inPortName, uint32_t inPortIndex,
                                    std::string_view file, uint32_t index) {
  DriverKeyValues values;
  const std::string name(registryName);
  const std::string port(inPortName);
  char text[260];
  std::snprintf(text, sizeof text, "%s on %s", name.c_str(), port.c_str());
  values.friendlyName = text;
  std::snprintf(text, sizeof text, "%s.dll", name.c_str());
  values.dll = text;
  values.inPortIndex = inPortIndex;
  values.inPortName = port;
  values.file = file;
  values.index = index;
  values.deviceArrayIndex = index;
  return values;
}

uint32_t WriteDriverKey(std::string_view keyPath, const DriverKeyValues& v) {
  platform::RegistryKey key;
  if (const uint32_t error = platform::RegistryKey::Create(platform::Hive::kLocalMachine, keyPath, key)) return error;
  ValueWriter writer(key);
  writer.String("FriendlyName", v.friendlyName)
      .String("Dll", v.dll)
      .String("Prefix", v.prefix)
      .Dword("InPortIndex", v.inPortIndex)
      .String("InPortName", v.inPortName)
      .String("File", v.file)
      .Dword("Index", v.index)
      .Dword("DeviceType", v.deviceType)
      .Dword("DeviceArrayIndex", v.deviceArrayIndex)
      .Dword("Order", v.order)
      .Dword("InBaud", v.inBaud)
      .Dword("InBits", v.inBits)
      .Dword("InParity", v.inParity)
      .Dword("InStopBits", v.inStopBits)
      .Dword("NMEAFilter", v.nmeaFilter)
      .Dword("Flags", v.flags)
      .String("Imprint", v.imprint);
  return writer.Error();
}

std::string ManagerSettingsKey(std::string_view programName) {
  return "software\\Velmora\\" + platform::BaseNamePart(programName);
}

uint32_t ReadManagerSettings(std::string_view programName, ManagerSettings& s) {
  platform::RegistryKey key;
  const uint32_t error =
      platform::RegistryKey::Open(platform::Hive::kCurrentUser, ManagerSettingsKey(programName), key);
  if (error == platform::kErrorFileNotFound) return 0;
  if (error != 0) return error;
  QueryOptionalString(key, "Source", s.source);
  QueryOptionalString(key, "SourceFile", s.sourceFile);
  QueryOptionalString(key, "OutPort", s.outPort);
  QueryOptionalDword(key, "BaudRate", s.baudRate);
  QueryOptionalDword(key, "DriverResident", s.driverResident);
  QueryOptionalDword(key, "NMEAFilter", s.nmeaFilter);
  QueryOptionalDword(key, "DriverActivated", s.driverActivated);
  return 0;
}

uint32_t WriteManagerSettings(std::string_view programName, const ManagerSettings& s, std::string_view moduleFileName) {
  platform::RegistryKey key;
  if (const uint32_t error =
          platform::RegistryKey::Create(platform::Hive::kCurrentUser, ManagerSettingsKey(programName), key)) {
    return error;
  }
  ValueWriter writer(key);
  writer.String("Source", s.source)
      .String("SourceFile", s.sourceFile)
      .String("OutPort", s.outPort)
      .String("ModuleFileName", moduleFileName)
      .Dword("BaudRate", s.baudRate)
      .Dword("DriverResident", s.driverResident)
      .Dword("NMEAFilter", s.nmeaFilter)
      .Dword("DriverActivated", s.driverActivated);
  return writer.Error();
}

}  // namespace driver
