#include "warner/serial/source_controls.h"

#include <cstdio>
#include <cstdlib>

#include "platform/paths/paths.h"
#include "platform/text/text.h"
#include "warner/core/settings/source_setting.h"
#include "warner/serial/port_entry.h"

namespace serial {

namespace {

constexpr const char* kBaudRates[] = {"1200", "2400", "4800", "9600", "14400", "19200", "38400", "57600", "115200"};
constexpr size_t kDefaultBaudIndex = 2;

bool IsFileEntry(std::string_view name) { return PortEntryKind(name) == warner::kInputKindFile; }

}  // namespace

FileDialogRequest GpsLogFileRequest() {
  return {"GPS Log File", {{"GPS Log File (*.txt;*.gps)", "*.txt;*.gps"}, {"All Files (*.*)", "*.*"}}, "\\GPSLogs"};
}

SourceControls::SourceControls(SourceSelection& selection, platform::Reporter& reporter)
    : selection_(selection), reporter_(reporter) {}

size_t SourceControls::FillPortCombo(const driver::PortTable& table, bool showFriendlyNames) {
  portItems_.clear();
  portNames_.clear();
  for (const driver::PortEntry& entry : table.Entries()) {
    char text[2 * driver::kPortTextSize + 2];
    if (showFriendlyNames) {
      std::snprintf(text, sizeof text, "%s %s", entry.portName, entry.friendlyName);
    } else {
      std::snprintf(text, sizeof text, "%s", entry.portName);
    }
    portItems_.emplace_back(text);
    portNames_.emplace_back(entry.portName);
  }
  portItems_.emplace_back(kFileEntry);
  portNames_.emplace_back(kFileEntry);
  portIndex_ = 0;
  return portItems_.size();
}

void SourceControls::SelectPortEntry(std::string_view storedPortName) {
  size_t chosen = 0;
  for (size_t i = 0; i < portNames_.size(); ++i) {
    const std::string& name = portNames_[i];
    if (name.size() <= storedPortName.size() && platform::EqualsNoCase(storedPortName.substr(0, name.size()), name)) {
      chosen = i;
      break;
    }
  }
  SelectPort(chosen);
}

void SourceControls::SelectPort(size_t index) {
  if (index >= portNames_.size()) return;
  portIndex_ = index;
  selection_.portName = portNames_[index];
}

void SourceControls::FillBaudCombo() {
  baudItems_.assign(std::begin(kBaudRates), std::end(kBaudRates));
  baudIndex_ = kDefaultBaudIndex;
}

void SourceControls::SelectBaud(int baudRate) {
  size_t chosen = kDefaultBaudIndex;
  for (size_t i = 0; i < baudItems_.size(); ++i) {
    if (std::atoi(baudItems_[i].c_str()) == baudRate) chosen = i;
  }
  ChooseBaudEntry(chosen);
}

void SourceControls::ChooseBaudEntry(size_t index) {
  if (index >= baudItems_.size()) return;
  baudIndex_ = index;
  selection_.baudRate = std::atoi(baudItems_[index].c_str());
}

void SourceControls::ToggleSourceMode() { selection_.standAlone = !selection_.standAlone; }

const char* SourceControls::ModeButtonText() const { return selection_.standAlone ? "<Ser-\rcast" : ">Stand\rAlone"; }

bool SourceControls::FileControlEnabled() const { return selection_.standAlone && IsFileEntry(selection_.portName); }

std::string SourceControls::FileNameText() const { return platform::FileNamePart(selection_.filePath); }

void SourceControls::ChoosePortEntry(size_t index, const FileChooser& choose) {
  if (!selection_.standAlone || index >= portNames_.size()) return;
  if (!IsFileEntry(portNames_[index])) {
    SelectPort(index);
    selection_.filePath.clear();
    return;
  }
  const std::optional<std::string> path = choose(GpsLogFileRequest());
  if (!path) return;  // the previous entry stays selected
  if (!platform::FileExists(*path)) {
    reporter_.Error("Can't open '%s'\n", path->c_str());
    return;
  }
  SelectPort(index);
  selection_.filePath = *path;
}

}  // namespace serial
