#include "converter/editor/config_editor.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "converter/config/config_file.h"
#include "converter/config/config_reader.h"
#include "converter/config/config_values.h"
#include "platform/paths/paths.h"
#include "platform/process/process.h"
#include "platform/text/text.h"

namespace converter::editor {
namespace {

constexpr const char* kConfigName = "Placewright.txt";
constexpr const char* kLogName = "PlacewrightLog.txt";
constexpr const char* kDatabaseName = "Sentry.snt";
constexpr const char* kModifiedLoad = "Data was modified.\nDo you really want to overwrite?";
constexpr const char* kModifiedQuit = "Data was modified.\nDo you want to quit anyway?";

const Column& ColumnAt(int column) { return Columns()[static_cast<size_t>(column)]; }

FileDialogRequest ConfigDialog(FileDialogRequest::Mode mode, const std::string& start) {
  return {
      mode, "POI Configuration File", {{"POI Configuration File (*.txt)", "*.txt"}, {"All Files (*.*)", "*.*"}}, start};
}

FileDialogRequest CellDialog(int column, const std::string& start) {
  FileDialogRequest request{FileDialogRequest::Mode::kOpen, "POI Description File", {}, start};
  if (ColumnAt(column).key == "ASCFile") {
    request.filters = {{"POI Description File (*.asc, *.csv, *.txt)", "*.asc;*.csv;*.txt"}, {"All Files (*.*)", "*.*"}};
  } else {
    request.filters = {{"Bitmap File (*.bmp)", "*.bmp"}, {"All Files (*.*)", "*.*"}};
  }
  return request;
}

// The output folder of a target, below the program folder.
std::string TargetFolderName(TargetSystem target) {
  switch (target) {
    case TargetSystem::kMapAndGuideCsv: return "MapAndGuideCSV";
    case TargetSystem::kDestinatorCsv: return "DestinatorCSV";
    default: return "POI";
  }
}

}  // namespace

std::optional<int> LaunchAndWait(const std::string& converter, const std::string& config) {
  const platform::ProcessResult result = platform::StartProcess(converter, {config}, true);
  if (!result.ok) return std::nullopt;
  return result.exitCode;
}

ConfigEditor::ConfigEditor(EditorPlaces places, platform::Reporter& reporter, FileChooser chooser,
                           ConverterLauncher launcher)
    : places_(std::move(places)), reporter_(reporter), chooser_(std::move(chooser)), launcher_(std::move(launcher)) {
  if (places_.programFolder.empty()) places_.programFolder = "./";
}

std::string ConfigEditor::CellText(int row, int column) const {
  return DisplayText(row, column, table_.rows[static_cast<size_t>(row)][static_cast<size_t>(column)]);
}

std::string ConfigEditor::ConfigPath() const { return places_.programFolder + kConfigName; }
std::string ConfigEditor::LogPath() const { return places_.programFolder + kLogName; }

std::string ConfigEditor::ConverterLog() const {
  std::ifstream in(platform::ToLinuxPath(LogPath()), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return platform::FileTextToUtf8(bytes);
}

void ConfigEditor::SetMainGroup(const std::string& text) {
  if (text == table_.mainGroup) return;
  table_.mainGroup = text;
  modified_ = true;
}

bool ConfigEditor::CellEditable(int row, int column) const {
  return row >= 0 && row < kRowCount && column > 0 && column < kColumnCount;
}

bool ConfigEditor::OpenEditor(int row, int column) {
  if (!CommitEditor() || !CellEditable(row, column)) return false;
  editor_ = CellEditor{row, column, table_.rows[static_cast<size_t>(row)][static_cast<size_t>(column)]};
  return true;
}

void ConfigEditor::SetEditorText(const std::string& text) {
  if (editor_) editor_->text = text;
}

bool ConfigEditor::CommitEditor() {
  if (!editor_) return true;
  std::string& cell = table_.rows[static_cast<size_t>(editor_->row)][static_cast<size_t>(editor_->column)];
  // The edit box keeps to the column's limit; a text that reaches here another way is cut to it,
  // so that the converter can read whatever the table holds.
  const size_t limit = std::min(kMaxCommitChars, static_cast<size_t>(ColumnAt(editor_->column).maxChars));
  const std::string text = Trim(FirstChars(editor_->text, limit));
  if (ColumnAt(editor_->column).kind == EditKind::kDigits && !IsDigitsOnly(text)) {
    reporter_.Error("The list item must be numeric.");
    editor_->text = cell;
    return false;
  }
  if (text != cell) {
    cell = text;
    modified_ = true;
  }
  editor_.reset();
  return true;
}

void ConfigEditor::ChooseFile(int row, int column) {
  if (!CellEditable(row, column) || ColumnAt(column).kind != EditKind::kPath || !CommitEditor()) return;
  std::string& cell = table_.rows[static_cast<size_t>(row)][static_cast<size_t>(column)];
  const std::optional<std::string> path = chooser_ ? chooser_(CellDialog(column, cell)) : std::nullopt;
  if (!path) return;
  if (FirstChars(*path, static_cast<size_t>(ColumnAt(column).maxChars)) != *path) {
    reporter_.Error("Can't save the info to this item");
    return;
  }
  cell = *path;
  modified_ = true;
}

void ConfigEditor::About(const std::string& programName, const std::string& version) {
  reporter_.Inform("%s Version %s", programName.c_str(), version.empty() ? "Unknown" : version.c_str());
}

bool ConfigEditor::LoadConfig() {
  if (modified_ && !reporter_.AskYesNo("%s", kModifiedLoad)) return false;
  if (!CommitEditor() || !chooser_) return false;
  const std::optional<std::string> path = chooser_(ConfigDialog(FileDialogRequest::Mode::kOpen, lastFileName_));
  return path && LoadFrom(*path);
}

bool ConfigEditor::LoadFrom(const std::string& path) {
  ConfigFile file;
  int errnoValue = 0;
  if (!ConfigFile::Load(platform::ToLinuxPath(path), file, &errnoValue)) {
    reporter_.Error("Can't open %s for read.", path.c_str());
    return false;
  }
  // The log settings are the converter's own business: a load reads what the table shows.
  ConverterConfig config;
  std::string error = ReadGlobalSettings(file, config);
  if (!error.empty()) {
    reporter_.Error("Decoding of the configuration file was terminated with the following error:\n%s", error.c_str());
    return false;
  }
  error = CountSubcategories(file, config, nullptr);
  if (error.empty()) error = ReadSubcategoryValues(file, config, nullptr);
  if (!error.empty()) {
    reporter_.Error("Reading of the configuration file was terminated with the following error:\n%s", error.c_str());
    return false;
  }
  if (config.subcategories.empty()) reporter_.Error("No subcategories found in the file.");
  table_ = TableFromConfiguration(config);
  editor_.reset();
  modified_ = false;
  lastFileName_ = path;
  return true;
}

bool ConfigEditor::SaveConfig() {
  if (!CommitEditor() || !chooser_) return false;
  const std::optional<std::string> path = chooser_(ConfigDialog(FileDialogRequest::Mode::kSave, lastFileName_));
  return path && SaveTo(*path);
}

bool ConfigEditor::SaveTo(const std::string& path) {
  if (!CommitEditor()) return false;
  const std::string base = places_.programFolder + "POI" + places_.programFolder.back();
  if (!WriteConfiguration(path, {LogPath(), base, base + kDatabaseName})) return false;
  lastFileName_ = path;
  modified_ = false;
  return true;
}

bool ConfigEditor::Convert() {
  if (!CommitEditor()) return false;
  const std::string base = places_.programFolder + TargetFolderName(table_.target) + places_.programFolder.back();
  if (!WriteConfiguration(ConfigPath(), {LogPath(), base, base + kDatabaseName})) return false;
  const std::optional<int> result = launcher_(places_.converterPath, ConfigPath());
  if (!result) {
    reporter_.Error("Calling converting machine %s failed.\nNot enough memory?\nCheck if it is in the directory:\n%s",
                    platform::FileNamePart(places_.converterPath).c_str(), places_.programFolder.c_str());
    return false;
  }
  // Without a console of its own, a failed conversion would go unnoticed.
  if (*result != 0) {
    reporter_.Error("The conversion ended with result %d.\nSee the log file:\n%s", *result, LogPath().c_str());
    return false;
  }
  modified_ = false;
  return true;
}

bool ConfigEditor::WriteConfiguration(const std::string& path, const OutputPaths& paths) {
  const ComposedConfiguration composed = ComposeConfiguration(table_, paths);
  if (!composed.errors.empty()) {
    reporter_.Error("%s", composed.errors.c_str());
    return false;
  }
  std::ofstream out(platform::ToLinuxPath(path), std::ios::binary | std::ios::trunc);
  if (!out) {
    reporter_.Error("Can't open %s for write.\n", path.c_str());
    return false;
  }
  out << platform::Utf8ToCp1252(composed.text);
  out.close();
  if (!out) {
    reporter_.Error("\nErrors occured while writing the configuration file:\n%s.\n", path.c_str());
    return false;
  }
  return true;
}

bool ConfigEditor::Exit() {
  if (editor_) {
    CommitEditor();
    return false;
  }
  return ConfirmQuit();
}

bool ConfigEditor::Escape() {
  if (editor_) {
    DiscardEditor();
    return false;
  }
  return ConfirmQuit();
}

bool ConfigEditor::ConfirmQuit() {
  if (!CommitEditor()) return false;
  return !modified_ || reporter_.AskYesNo("%s", kModifiedQuit);
}

const std::string& HelpText() {
  static const std::string text =
      "Editing the list:\n"
      "Left click on a cell edits it; right click on an ASC File or BMP File cell opens a file selection.\n"
      "Long paths are shortened on the left with '~'. End an input with Enter, cancel it with Escape.\n\n"
      "Required fields:\n"
      "Main Group:\tThe name of the main category.\n"
      "Map Region:\tDefault Europe.\n"
      "Cat Name:\tThe name of the subcategory.\n"
      "CatNo:\tThe number of the subcategory.\n"
      "ZoTx:\tZoom level of the texts, default 6.\n"
      "ASC File:\tThe POI list of the subcategory.\n"
      "ZoBM:\tZoom level of the symbols, default 6.\n"
      "BMP File:\tThe symbol of the subcategory.\n\n"
      "Optional fields:\n"
      "S:\tThe column separator of the POI list, default ','.\n"
      "FoSi:\tFont size from 0 to 12, default 8.\n"
      "FoCol, OuCol:\tText and outline colour: Red, Green, Blue, White, Black or 0x and a code; "
      "defaults Black and White.\n"
      "Include Comments:\tCarry the POI descriptions into the outputs.\n\n"
      "Fields for the warner:\n"
      "IV WAV:  \tThe name of the WAV file to play when the POIs of this SubCategory come to 'In View'.\n"
      "\tA leading '.' means the warner's 'Sounds' folder.\n"
      "IV Dist:\tThe warning distance with the units m, nm, mi, ft or s, default m.\n\n"
      "\"Map Region\", \"CatNo\", \"ZoTx\", \"ZoBM\", \"FoSi\", \"FoCol\" and \"OuCol\" matter only for "
      "Navigon systems.\n"
      "\"Placewright.txt\" is reserved for the converter input and is overwritten at every conversion.\n"
      "Relative paths in a loaded configuration must be adjusted.";
  return text;
}

}  // namespace converter::editor
