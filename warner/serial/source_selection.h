#pragma once
// The GPS source the user picked in the main window.

#include <string>

namespace serial {

struct SourceSelection {
  bool standAlone = false;  // the warner owns a port of its own instead of listening to a virtual one
  std::string portName;     // the chosen entry of the port list: "COM4:" or "FILE"
  std::string filePath;     // the GPS log replayed for "FILE"
  int baudRate = 4800;      // also paces the replay of a log file
};

}  // namespace serial
