#pragma once
// Reading ASC POI lists for the surroundings search: longitude, latitude and the quoted
// description of each line, with the texts as the file writes them.

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace warner {

inline constexpr size_t kAscLineMax = 1023;  // longer lines are cut, their rest dropped
inline constexpr size_t kAscTextMax = 255;   // each text of an AscLine

// One accepted line. The texts are the file's bytes (Windows-1252 or UTF-8), blanks around the
// coordinates removed.
struct AscLine {
  double longitude = 0.0;
  double latitude = 0.0;
  std::string longitudeText;
  std::string latitudeText;
  std::string description;  // "-" when the quotes hold nothing
};

// Parses one line (without its line feed); false for a line that is skipped: empty, a comment
// (';'), not starting with a signed number, or without a readable latitude after the first ','.
bool ParseAscLine(std::string_view line, AscLine& out);

// Lines of a stream, read in large blocks: cut at a NUL byte, at most kAscLineMax bytes each (the
// rest of a longer line is dropped, so that it never turns into a line of its own).
class AscLineReader {
 public:
  explicit AscLineReader(std::FILE* stream);
  // The next line without its line feed, valid until the next call; false at the end of the
  // stream or on a read error.
  bool NextLine(std::string_view& line);

 private:
  bool Fill();

  std::FILE* stream_;
  std::vector<char> buffer_;
  size_t pos_ = 0;
  size_t end_ = 0;
  std::string carry_;  // a line that runs over the end of the buffer
};

// The next line that ParseAscLine accepts: 0 with `out` filled, -1 at the end of the list.
int ReadAscLine(AscLineReader& stream, AscLine& out);

}  // namespace warner
