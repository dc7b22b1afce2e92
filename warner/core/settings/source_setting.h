#pragma once
// How the settings name the warner's GPS and TMC sources, shared by the settings files and the
// serial sources without either depending on the other's records.

#include <string>

namespace warner {

// Where a port key sends a source: a device name (the value ended with ':') or a log file that is
// replayed in its place. Both empty: the key was not given.
struct PortSetting {
  std::string portName;  // "COM4:", "/dev/ttyUSB0:"
  std::string filePath;  // log file (TMC: a file of TMC records)

  bool IsPort() const { return !portName.empty(); }
  bool IsFile() const { return !filePath.empty(); }
};

// The source kind that stands for a log file instead of a port number.
inline constexpr int kInputKindFile = 256;

// How the GPS source was found, and the TMC source with the same numbers; the settings choose 1, 3
// and 4, the virtual port search 0 and 2.
enum SourceState : int {
  kSourceNotFound = 0,          // no virtual port found
  kGpsSourceSearchVirtual = 1,  // start-up default; also with an alternate source
  kSourceVirtualPort = 2,       // the driver's virtual port was found
  kGpsSourceUseGpsPort = 3,     // the port or file of UseGPSPort
  kGpsSourceUseWm5GpsPort = 4,  // the port or file of UseWM5GPSPort, shared with a navigation program
  kTmcSourceNone = kSourceNotFound,
  kTmcSourceUseTmcPort = kGpsSourceUseGpsPort,  // the port or file of UseTMCPort
};

}  // namespace warner
