#pragma once
// The models behind the main window's source controls: the port list, the baud list, the mode
// button and the file-name text. The GUI shows what they hold and forwards the user's choices.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "driver/registry/port_table.h"
#include "platform/reports/reporter.h"
#include "warner/serial/source_selection.h"

namespace serial {

// What the file dialog for a GPS log is opened with.
struct FileDialogRequest {
  std::string title;
  std::vector<std::pair<std::string, std::string>> filters;  // (description, patterns)
  std::string startFolder;
};
// Shows the dialog; the chosen path, or nothing when the user cancelled or the dialog failed.
using FileChooser = std::function<std::optional<std::string>(const FileDialogRequest&)>;

class SourceControls {
 public:
  SourceControls(SourceSelection& selection, platform::Reporter& reporter);

  // The port list: every entry of the table as its port name, or as "%s %s" with the friendly
  // name, then "FILE". Returns the number of entries.
  size_t FillPortCombo(const driver::PortTable& table, bool showFriendlyNames);
  // Selects the first entry whose port name begins the stored name (case-blind), else entry 0,
  // and makes it the selected port.
  void SelectPortEntry(std::string_view storedPortName);
  void FillBaudCombo();
  // Selects the entry of the rate, else "4800", and makes it the GPS baud rate.
  void SelectBaud(int baudRate);
  void ToggleSourceMode();

  // The user picked a port entry (stand-alone mode only): a port clears the log file; "FILE" asks
  // for the log with `choose`, and a cancelled dialog or a path that is no file puts the previous
  // entry back.
  void ChoosePortEntry(size_t index, const FileChooser& choose);
  void ChooseBaudEntry(size_t index);

  const std::vector<std::string>& PortItems() const { return portItems_; }
  size_t PortIndex() const { return portIndex_; }
  const std::vector<std::string>& BaudItems() const { return baudItems_; }
  size_t BaudIndex() const { return baudIndex_; }
  const char* ModeButtonText() const;
  // Port list, baud list and the controls that go with them.
  bool SourceControlsEnabled() const { return selection_.standAlone; }
  bool FileControlEnabled() const;
  // The log file's name without its folder.
  std::string FileNameText() const;

 private:
  void SelectPort(size_t index);

  SourceSelection& selection_;
  platform::Reporter& reporter_;
  std::vector<std::string> portItems_;
  std::vector<std::string> portNames_;  // the device name behind each item
  size_t portIndex_ = 0;
  std::vector<std::string> baudItems_;
  size_t baudIndex_ = 0;
};

// The dialog request for the GPS log of the "FILE" entry.
FileDialogRequest GpsLogFileRequest();

}  // namespace serial
