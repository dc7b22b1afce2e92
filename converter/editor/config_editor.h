#pragma once
// The configuration editor's model: the dialog's state (main group, target, region, the
// include-comments box, the subcategory table), its cell editor, and every action of its buttons.
// The dialog only shows what this holds and forwards the user's input; tests drive it directly.

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "converter/editor/configuration_text.h"
#include "platform/reports/reporter.h"

namespace converter::editor {

struct FileDialogRequest {
  enum class Mode { kOpen, kSave };
  Mode mode = Mode::kOpen;
  std::string title;
  std::vector<std::pair<std::string, std::string>> filters;  // description, patterns ("*.asc;*.csv")
  std::string start;                                         // the path the dialog starts at
};
// Shows a file dialog; the chosen path, or nothing when the user cancelled.
using FileChooser = std::function<std::optional<std::string>(const FileDialogRequest&)>;
// Starts the converter on a configuration and waits for it: its exit code, or nothing when it
// could not be started.
using ConverterLauncher = std::function<std::optional<int>(const std::string& converter, const std::string& config)>;
// The launcher of the program: the platform's process start, waiting.
std::optional<int> LaunchAndWait(const std::string& converter, const std::string& config);

struct EditorPlaces {
  std::string programFolder;  // with its trailing separator; the base of every default path
  std::string converterPath;
};

struct CellEditor {
  int row = 0;
  int column = 0;
  std::string text;  // what the edit box holds
};

class ConfigEditor {
 public:
  ConfigEditor(EditorPlaces places, platform::Reporter& reporter, FileChooser chooser,
               ConverterLauncher launcher = LaunchAndWait);

  const EditorTable& Table() const { return table_; }
  std::string CellText(int row, int column) const;
  bool Modified() const { return modified_; }
  const std::string& LastFileName() const { return lastFileName_; }
  bool RegionEnabled() const { return table_.target == TargetSystem::kNavigonOem; }
  const EditorPlaces& Places() const { return places_; }
  std::string ConfigPath() const;  // the converter's input that Convert writes
  std::string LogPath() const;
  // The log of the last conversion, in UTF-8; empty when there is none.
  std::string ConverterLog() const;

  void SetMainGroup(const std::string& text);
  void SetTarget(TargetSystem target) { table_.target = target; }
  void SetRegion(MapRegion region) { table_.region = region; }
  void SetIncludeComments(bool include) { table_.includeComments = include; }

  // Opens the cell editor on an editable cell after committing an open one; false when that
  // commit was refused or the cell is not editable.
  bool OpenEditor(int row, int column);
  const std::optional<CellEditor>& Editor() const { return editor_; }
  void SetEditorText(const std::string& text);
  // Enter: true when no editor is open afterwards. A digit cell refuses a text that is not a
  // number: the message, and the editor's text back to the cell's value.
  bool CommitEditor();
  void DiscardEditor() { editor_.reset(); }

  // Right click on a path cell: the file dialog, the chosen path into the cell.
  void ChooseFile(int row, int column);

  void About(const std::string& programName, const std::string& version);
  bool LoadConfig();
  bool SaveConfig();
  bool Convert();
  // Without dialogs: what Load Config and Save Config do with the chosen file.
  bool LoadFrom(const std::string& path);
  bool SaveTo(const std::string& path);

  // Each is true when the program may end. Exit closes an open editor and stays; Escape discards
  // an open editor and stays; otherwise both ask, like closing the window does.
  bool Exit();
  bool Escape();
  bool ConfirmQuit();

 private:
  bool WriteConfiguration(const std::string& path, const OutputPaths& paths);
  bool CellEditable(int row, int column) const;

  EditorPlaces places_;
  platform::Reporter& reporter_;
  FileChooser chooser_;
  ConverterLauncher launcher_;
  EditorTable table_;
  std::optional<CellEditor> editor_;
  bool modified_ = false;
  std::string lastFileName_;
};

// The help text of the "&Help" button; longer than a message buffer, so the dialog shows it itself
// (after committing an open editor, as every button does).
const std::string& HelpText();

}  // namespace converter::editor
