#pragma once
// Where the virtual port driver is configured: the registry names of its instances, the driver key
// and its values with their initial values, and the manager's own settings. The manager writes these
// keys, the driver reads them when it starts, the warner and the manager find the ports by them.

#include <cstdint>
#include <string>
#include <string_view>

namespace driver {

inline constexpr const char* kManagerBaseName = "SercastMgr";
inline constexpr const char* kDriverBaseName = "SercastNG";
inline constexpr const char* kTmcDriverName = "SercastNGTMC";
// The maker mark every key of this driver carries; readers compare only kImprintPrefix.
inline constexpr const char* kImprint = "Velmora GmbH, driver-warner project";
inline constexpr const char* kImprintPrefix = "Velmora ";
inline constexpr const char* kDriversRoot = "Drivers";
inline constexpr const char* kBuiltInRoot = "Drivers\\BuiltIn";
inline constexpr const char* kActiveRoot = "Drivers\\Active";

// The instance suffix is what follows "SercastMgr" in the manager's program name ("TMC" for
// "SercastMgrTMC"); a program name with a folder or an extension is taken by its base name.
std::string InstanceSuffix(std::string_view programName);
// "SercastNG" + suffix.
std::string RegistryName(std::string_view programName);
// "Drivers\BuiltIn" for a resident driver on a system older than major version 5, else "Drivers".
const char* DriverKeyRoot(bool resident, int osMajorVersion);

// The values of a driver key in the order the manager writes them. The initial values are the ones
// the driver assumes for optional values that are missing.
struct DriverKeyValues {
  std::string friendlyName;  // "%s on %s": registry name, input port name
  std::string dll;           // "%s.dll": registry name
  std::string prefix = "COM";
  uint32_t inPortIndex = 1;  // port number, or 256 for a file
  std::string inPortName = "COM1:";
  std::string file;  // input file; empty for a port
  uint32_t index = 2;
  uint32_t deviceType = 1;
  uint32_t deviceArrayIndex = 2;
  uint32_t order = 1;
  uint32_t inBaud = 4800;
  uint32_t inBits = 8;
  uint32_t inParity = 0;
  uint32_t inStopBits = 1;
  uint32_t nmeaFilter = 0;
  uint32_t flags = 2;
  std::string imprint = kImprint;
};

// The values a manager writes for one instance: the names derived from the registry name, and the
// virtual port's number also as DeviceArrayIndex.
DriverKeyValues MakeDriverKeyValues(std::string_view registryName, std::string_view inPortName, uint32_t inPortIndex,
                                    std::string_view file, uint32_t index);

// Creates HKLM\<keyPath> level by level and writes every value; returns a registry error (0 = ok).
uint32_t WriteDriverKey(std::string_view keyPath, const DriverKeyValues& values);

// The manager's settings under HKCU\software\Velmora\<program name>.
struct ManagerSettings {
  std::string source;      // a port name or "FILE"
  std::string sourceFile;  // input file path
  std::string outPort;     // the virtual port chosen
  uint32_t baudRate = 4800;
  uint32_t driverResident = 0;
  uint32_t nmeaFilter = 0;
  uint32_t driverActivated = 0;
};

std::string ManagerSettingsKey(std::string_view programName);
// Missing values keep their defaults; a missing key gives all defaults. Returns 0 or a registry error
// other than "not found".
uint32_t ReadManagerSettings(std::string_view programName, ManagerSettings& settings);
// Writes every value and ModuleFileName, creating the key level by level.
uint32_t WriteManagerSettings(std::string_view programName, const ManagerSettings& settings,
                              std::string_view moduleFileName);

}  // namespace driver
