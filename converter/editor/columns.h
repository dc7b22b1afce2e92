#pragma once
// The subcategory table's columns: what each holds, how it is edited, which configuration key it
// becomes and what is written when it is empty.

#include <array>
#include <string>
#include <string_view>

namespace converter::editor {

enum class EditKind { kFixed, kText, kDigits, kPath };

struct Column {
  std::string_view header;
  int width;  // in pixels, at the dialog's font
  EditKind kind;
  int maxChars;
  std::string_view key;           // "" for the row number
  std::string_view defaultValue;  // written for an empty cell
};

inline constexpr int kColumnCount = 13;
inline constexpr int kRowCount = 1000;
// The columns that make a row used, and that a used row must all have.
inline constexpr std::array<int, 4> kRequiredColumns = {1, 2, 4, 6};
// What a committed text is cut to before it is trimmed.
inline constexpr size_t kMaxCommitChars = 260;

const std::array<Column, kColumnCount>& Columns();

// A cell as the table shows it: the row number as "%2d" in column 0, a path longer than 20
// characters as "~" and its last 20 characters, anything else whole.
std::string DisplayText(int row, int column, const std::string& value);

// Where the cell editor stands across the list: over the cell, widened to `minWidth` (four
// fifths of the column's character limit in widths of "M") when the cell is narrower. It widens
// to the right when that fits the client area; otherwise a cell in the left half gets an editor
// that ends at the client area's right edge, and one in the right half keeps its right edge and
// extends to the left, not beyond the left edge.
struct Span {
  int left;
  int width;
  bool operator==(const Span&) const = default;
};
Span EditorSpan(Span cell, int minWidth, int clientWidth);

// Blanks (spaces, tabs, line ends) removed on both sides.
std::string Trim(std::string_view text);
// True when `text` is empty or nothing but decimal digits.
bool IsDigitsOnly(std::string_view text);
// The first `count` UTF-8 characters of `text`.
std::string FirstChars(std::string_view text, size_t count);

}  // namespace converter::editor
