#pragma once
// What the driver manager learns about itself at start: the system version it reports, where it
// runs from, its program name and the driver instance that name selects.

#include <string>
#include <string_view>

namespace manager {

// The handheld's version decides where a resident driver is kept. Linux has no such number, so it
// is a setting: the environment variable when set, else the string value OsVersion of HKLM\Linux
// ("4.2"), else 5.0.
struct OsVersion {
  int major = 5;
  int minor = 0;
};
inline constexpr const char* kOsVersionVariable = "DW_OS_VERSION";
inline constexpr const char* kOsVersionKey = "Linux";
inline constexpr const char* kOsVersionValue = "OsVersion";
OsVersion ReadOsVersion();
// "MAJOR" or "MAJOR.MINOR" with decimal digits only; nothing else changes the default.
OsVersion ParseOsVersion(std::string_view text);

// The program name for an executable's file name. The installed names are lower case, the driver's
// instance is chosen by the mixed-case name: "sercastmgr" is "SercastMgr" and whatever follows it
// is the instance suffix in upper case ("sercastmgrtmc" is "SercastMgrTMC"). A name that does not
// begin with "sercastmgr" (case-blind) is kept as it is, and the manager refuses to run under it.
std::string ProgramNameFor(std::string_view executablePath);

// The full path the program was started by, symbolic links kept (the TMC manager is a link to the
// same program): argv[0] made absolute, or found in PATH, or beside the running executable.
std::string ModuleFileNameFor(std::string_view argv0);

struct ProgramFacts {
  OsVersion os;
  std::string moduleFileName;
  std::string programName;
  std::string registryName;
};

ProgramFacts GatherProgramFacts(std::string_view argv0);

}  // namespace manager
