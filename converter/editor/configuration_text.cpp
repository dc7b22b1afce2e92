#include "converter/editor/configuration_text.h"

#include <algorithm>
#include <cstdarg>

#include "converter/config/config_values.h"
#include "platform/text/text.h"

namespace converter::editor {
namespace {

// The converter reads no longer line than this.
constexpr size_t kLineBuffer = 1024;

[[gnu::format(printf, 2, 3)]] void Append(std::string& out, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const std::string line = platform::VFormat(fmt, args);
  va_end(args);
  out.append(line, 0, kLineBuffer - 1);
}

// A '?' in place of a character would name another file or category in the converter.
bool FitsWindows1252(std::string_view text) {
  size_t replaced = 0;
  platform::Utf8ToCp1252(text, '?', &replaced);
  return replaced == 0;
}

char SeparatorOf(const std::string& folder) {
  return !folder.empty() && (folder.back() == '/' || folder.back() == '\\') ? folder.back() : '\\';
}

void ComposeGlobals(const EditorTable& table, const OutputPaths& paths, const std::string& mainGroup,
                    std::string& out) {
  const std::string target(TargetSystemName(table.target));
  Append(out, "LogFile = %s\n", paths.logPath.c_str());
  Append(out, "LogLevel = %s\n", "Summary");
  Append(out, "%s = %s\n", "TargetSystem", target.c_str());
  Append(out, "MainGroup = %s\n", mainGroup.c_str());
  Append(out, "DestinationDirectory = %s%s%c\n", paths.baseFolder.c_str(), mainGroup.c_str(),
         SeparatorOf(paths.baseFolder));
  Append(out, "WaypostPath = %s\n", paths.databasePath.c_str());
  Append(out, "IncludeComments = %d\n", table.includeComments ? 1 : 0);
  if (table.target == TargetSystem::kNavigonOem) {
    Append(out, "MapRegion = %s\n", table.region == MapRegion::kAmerica ? "America" : "Europe");
  }
}

// The block of one used row, in the order the converter's readers list the keys.
void ComposeRow(const Row& row, std::string& out) {
  static constexpr std::array<int, 13> kOrder = {1, 2, 4, 3, 7, -1, 8, 9, 10, 6, 5, 11, 12};
  out += '\n';
  for (int column : kOrder) {
    if (column < 0) {
      Append(out, "FontName = %s\n", "Tahoma");
      continue;
    }
    const Column& info = Columns()[static_cast<size_t>(column)];
    const std::string& value =
        row[static_cast<size_t>(column)].empty() ? std::string(info.defaultValue) : row[static_cast<size_t>(column)];
    Append(out, "%s = %s\n", std::string(info.key).c_str(), value.c_str());
  }
}

}  // namespace

bool IsUsed(const Row& row) {
  return std::any_of(kRequiredColumns.begin(), kRequiredColumns.end(),
                     [&row](int column) { return !row[static_cast<size_t>(column)].empty(); });
}

ComposedConfiguration ComposeConfiguration(const EditorTable& table, const OutputPaths& paths) {
  ComposedConfiguration result;
  const std::string mainGroup = Trim(table.mainGroup);
  if (mainGroup.empty()) result.errors += "Main Group is not defined.\n";
  if (!FitsWindows1252(mainGroup)) result.errors += "Main Group has characters without a Windows-1252 code.\n";
  ComposeGlobals(table, paths, mainGroup, result.text);

  for (size_t number = 1; number <= table.rows.size(); ++number) {
    Row row = table.rows[number - 1];
    for (std::string& cell : row) cell = Trim(cell);
    if (!IsUsed(row)) continue;
    std::string block;
    ComposeRow(row, block);
    const bool complete = std::all_of(kRequiredColumns.begin(), kRequiredColumns.end(),
                                      [&row](int column) { return !row[static_cast<size_t>(column)].empty(); });
    if (!complete) Append(result.errors, "Wrong or incomplete values in line %zu.\n", number);
    if (!FitsWindows1252(block)) Append(result.errors, "Characters without a Windows-1252 code in line %zu.\n", number);
    result.text += block;
  }
  return result;
}

EditorTable TableFromConfiguration(const ConverterConfig& config) {
  EditorTable table;
  table.mainGroup = platform::Cp1252ToUtf8(config.mainGroup);
  table.target = config.target;
  table.region = config.region;
  table.includeComments = config.includeComments != 0;
  for (size_t i = 0; i < config.subcategories.size() && i < table.rows.size(); ++i) {
    const SubcategoryConfig& block = config.subcategories[i];
    const std::array<const std::string*, kColumnCount> values = {nullptr,
                                                                 &block.subGroup,
                                                                 &block.subCategory,
                                                                 &block.zoomLevelText,
                                                                 &block.ascFile,
                                                                 &block.zoomLevelBitmap,
                                                                 &block.bitmapFile,
                                                                 &block.columnSeparator,
                                                                 &block.fontSize,
                                                                 &block.fontColour,
                                                                 &block.outlineColour,
                                                                 &block.wavFile,
                                                                 &block.sentryDistance};
    for (size_t column = 1; column < values.size(); ++column) {
      table.rows[i][column] = platform::Cp1252ToUtf8(*values[column]);
    }
  }
  return table;
}

}  // namespace converter::editor
