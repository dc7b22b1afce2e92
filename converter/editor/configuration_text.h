#pragma once
// The editor's table and the configuration file it becomes.

#include <array>
#include <string>
#include <vector>

#include "converter/common/converter_config.h"
#include "converter/editor/columns.h"

namespace converter::editor {

using Row = std::array<std::string, kColumnCount>;  // column 0, the row number, stays empty

struct EditorTable {
  std::string mainGroup;
  TargetSystem target = TargetSystem::kNavigonOem;
  MapRegion region = MapRegion::kEurope;
  bool includeComments = true;
  std::vector<Row> rows = std::vector<Row>(kRowCount);
};

// Where a written configuration sends the converter's log and outputs. The destination folder is
// the base folder and the main group; it ends with the separator the base folder ends with.
struct OutputPaths {
  std::string logPath;
  std::string baseFolder;
  std::string databasePath;
};

// A row is used when any required cell is filled.
bool IsUsed(const Row& row);

// The configuration the table gives, in UTF-8, and the collected errors that forbid writing it
// (empty when there are none).
struct ComposedConfiguration {
  std::string text;
  std::string errors;
};
ComposedConfiguration ComposeConfiguration(const EditorTable& table, const OutputPaths& paths);

// The table a read configuration fills: one row per subcategory in file order, values as read
// (Windows-1252 in the configuration, UTF-8 here).
EditorTable TableFromConfiguration(const ConverterConfig& config);

}  // namespace converter::editor
