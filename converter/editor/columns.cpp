#include "converter/editor/columns.h"

#include <cstdio>

namespace converter::editor {
namespace {

constexpr size_t kShownPathChars = 20;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

size_t CharCount(std::string_view text) {
  size_t count = 0;
  for (char c : text) count += IsContinuation(c) ? 0 : 1;
  return count;
}

// The last `count` UTF-8 characters of `text`.
std::string_view LastChars(std::string_view text, size_t count) {
  size_t pos = text.size();
  for (size_t seen = 0; pos > 0 && seen < count;) {
    --pos;
    if (!IsContinuation(text[pos])) ++seen;
  }
  return text.substr(pos);
}

}  // namespace

const std::array<Column, kColumnCount>& Columns() {
  // The path columns and "Cat Name" take one character less than the converter's buffers hold
  // with their terminator, so that whatever the table accepts, the converter reads.
  static const std::array<Column, kColumnCount> columns = {{
      {"No", 30, EditKind::kFixed, 0, "", ""},
      {"Cat Name", 85, EditKind::kText, 31, "SubGroup", ""},
      {"CatNo", 45, EditKind::kDigits, 5, "SubCategory", ""},
      {"ZoTx", 40, EditKind::kDigits, 2, "ZoomLevelText", "6"},
      {"ASC File", 160, EditKind::kPath, 259, "ASCFile", ""},
      {"ZoBM", 45, EditKind::kDigits, 2, "ZoomLevelBitmap", "6"},
      {"BMP File", 160, EditKind::kPath, 259, "BitmapFile", ""},
      {"S", 20, EditKind::kText, 4, "ColumnSeparator", ","},
      {"FoSi", 40, EditKind::kDigits, 2, "FontSize", "8"},
      {"FoCol", 60, EditKind::kText, 8, "FontColour", "Black"},
      {"OuCol", 60, EditKind::kText, 8, "OutlineColour", "White"},
      {"IV WAV", 60, EditKind::kText, 130, "WAVFile", ""},
      {"IV Dist", 45, EditKind::kText, 8, "SentryDistance", ""},
  }};
  return columns;
}

std::string DisplayText(int row, int column, const std::string& value) {
  if (column == 0) {
    char number[16];
    std::snprintf(number, sizeof number, "%2d", row + 1);
    return number;
  }
  if (Columns()[static_cast<size_t>(column)].kind == EditKind::kPath && CharCount(value) > kShownPathChars) {
    return "~" + std::string(LastChars(value, kShownPathChars));
  }
  return value;
}

Span EditorSpan(Span cell, int minWidth, int clientWidth) {
  if (cell.width >= minWidth) return cell;
  if (cell.left + minWidth <= clientWidth) return {cell.left, minWidth};
  if (cell.left < clientWidth / 2) return {cell.left, clientWidth - cell.left};
  const int right = cell.left + cell.width;
  const int left = right - minWidth < 0 ? 0 : right - minWidth;
  return {left, right - left};
}

std::string Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

bool IsDigitsOnly(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string FirstChars(std::string_view text, size_t count) {
  size_t pos = 0;
  for (size_t seen = 0; pos < text.size(); ++pos) {
    if (!IsContinuation(text[pos]) && seen++ == count) break;
  }
  return std::string(text.substr(0, pos));
}

}  // namespace converter::editor
