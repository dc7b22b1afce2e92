#include "driver/registry/input_device.h"

#include <cstdarg>
#include <cstdio>

#include "driver/registry/driver_keys.h"
#include "platform/errors/errors.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"

namespace driver {

namespace {

// The driver reads Key into 260 characters and File, InPortName and FriendlyName into 260 bytes
// of wide characters: 129 characters and the terminator.
constexpr size_t kKeyChars = 260;
constexpr size_t kValueChars = 129;

constexpr size_t kTraceChars = 520;

[[gnu::format(printf, 2, 3)]] void TraceF(TraceSink* trace, const char* fmt, ...) {
  if (trace == nullptr) return;
  va_list args;
  va_start(args, fmt);
  const std::string text = platform::VFormat(fmt, args);
  va_end(args);
  trace->Trace(std::string_view(text).substr(0, kTraceChars - 1));
}

size_t CharacterCount(std::string_view utf8) {
  size_t count = 0;
  for (const char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

// A string value that fits a buffer of maxChars characters and its terminator, as the driver's
// fixed buffers take it; 234 (more data) when it does not fit.
uint32_t QueryBoundedString(const platform::RegistryKey& key, std::string_view name, size_t maxChars,
                            std::string& value, platform::ValueType* type) {
  std::string read;
  const uint32_t error = key.QueryString(name, read, type);
  if (error != 0) return error;
  if (CharacterCount(read) > maxChars) return platform::kErrorMoreData;
  value = read;
  return 0;
}

bool ReadKeyPath(const char* activeKeyPath, std::string& keyPath, TraceSink* trace) {
  platform::RegistryKey active;
  if (platform::RegistryKey::Open(platform::Hive::kLocalMachine, activeKeyPath, active) != 0) {
    TraceF(trace, "GetInputDeviceFromReg-: Failed to open 'HKEY_LOCAL_MACHINE\\%s'\n", activeKeyPath);
    return false;
  }
  platform::ValueType type = platform::ValueType::kNone;
  if (const uint32_t error = QueryBoundedString(active, "Key", kKeyChars, keyPath, &type)) {
    TraceF(trace, "GetInputDeviceFromReg-: Failed to query 'HKEY_LOCAL_MACHINE\\%s\\%s', Error %d\n", activeKeyPath,
           "Key", static_cast<int>(error));
    return false;
  }
  return true;
}

bool SplitRegistryName(const std::string& keyPath, DriverConfig& config, TraceSink* trace) {
  size_t separator = keyPath.rfind('\\');
  if (separator == std::string::npos) separator = keyPath.rfind('/');
  if (separator == std::string::npos) {
    TraceF(trace, "GetInputDeviceFromReg-: Unable to get the Registry Name from '%s'\n", keyPath.c_str());
    return false;
  }
  config.registryName = keyPath.substr(separator + 1);
  TraceF(trace, "GetInputDeviceFromReg-: Registry Entry %s, Registry Name '%s'\n", keyPath.c_str(),
         config.registryName.c_str());
  return true;
}

void ReadInputName(const platform::RegistryKey& key, DriverConfig& config) {
  config.inputIsFile = config.inPortIndex == 256;
  std::string name;
  if (config.inputIsFile) {
    // A path too long for the driver's buffer leaves the input name empty; opening it fails later.
    QueryBoundedString(key, "File", kValueChars, name, nullptr);
  } else if (QueryBoundedString(key, "InPortName", kValueChars, name, nullptr) != 0) {
    char port[32];
    std::snprintf(port, sizeof port, "COM%d:", static_cast<int>(config.inPortIndex));
    name = port;
  }
  config.inputName = name;
}

void ReadOptionalDwords(const platform::RegistryKey& key, DriverConfig& config) {
  const struct {
    const char* name;
    uint32_t* value;
  } dwords[] = {{"Index", &config.index},       {"InBaud", &config.inBaud},         {"InBits", &config.inBits},
                {"InParity", &config.inParity}, {"InStopBits", &config.inStopBits}, {"NMEAFilter", &config.nmeaFilter}};
  for (const auto& d : dwords) {
    uint32_t value = 0;
    if (key.QueryDword(d.name, value) == 0) *d.value = value;
  }
}

bool ReadDriverKey(const std::string& keyPath, DriverConfig& config, TraceSink* trace) {
  platform::RegistryKey key;
  if (platform::RegistryKey::Open(platform::Hive::kLocalMachine, keyPath, key) != 0) {
    TraceF(trace, "GetInputDeviceFromReg-: Failed to open 'HKEY_LOCAL_MACHINE\\%s'\n", keyPath.c_str());
    return false;
  }
  platform::ValueType type = platform::ValueType::kNone;
  if (const uint32_t error = key.QueryDword("InPortIndex", config.inPortIndex, &type)) {
    TraceF(trace, "GetInputDeviceFromReg-: Failed to query 'HKEY_LOCAL_MACHINE\\%s\\%s', type %d, Error %d\n",
           keyPath.c_str(), "InPortIndex", static_cast<int>(type), static_cast<int>(error));
    return false;
  }
  ReadInputName(key, config);
  ReadOptionalDwords(key, config);
  TraceF(trace, "GetInputDeviceFromReg-: %s %d.\n", "NMEAFilter", static_cast<int>(config.nmeaFilter));
  QueryBoundedString(key, "FriendlyName", kValueChars, config.friendlyName, nullptr);
  return true;
}

}  // namespace

bool GetInputDeviceFromReg(const char* activeKeyPath, DriverConfig& config, TraceSink* trace) {
  config = DriverConfig{};
  if (activeKeyPath == nullptr) {
    TraceF(trace, "GetInputDeviceFromReg-: Doesn't have registry string.\n");
    return false;
  }
  TraceF(trace, "GetInputDeviceFromReg+: Called with registry entry: %s\n", activeKeyPath);
  std::string keyPath;
  if (!ReadKeyPath(activeKeyPath, keyPath, trace)) return false;
  if (!SplitRegistryName(keyPath, config, trace)) return false;
  if (!ReadDriverKey(keyPath, config, trace)) return false;

  char output[32];
  std::snprintf(output, sizeof output, "%s%d:", "COM", static_cast<int>(config.index));
  config.outputName = output;
  if (config.inputIsFile) {
    TraceF(trace, "GetInputDeviceFromReg-: using file %s, output port %d.\n", config.inputName.c_str(),
           static_cast<int>(config.index));
  } else {
    TraceF(trace, "GetInputDeviceFromReg-: using '%s', index %d, output port %d.\n", config.inputName.c_str(),
           static_cast<int>(config.inPortIndex), static_cast<int>(config.index));
  }
  return true;
}

}  // namespace driver
