#pragma once
// Splits a POI list into lines, reading the file in big blocks. Both passes of the reading use it,
// so the counting pass counts exactly the lines the parsing pass sees.

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace converter {

// Lines are read whole up to this length; a longer line is split into pieces of this length that
// count as lines of their own, so that a file without line ends cannot demand unbounded memory.
inline constexpr size_t kMaxPoiLineLength = size_t{1} << 20;

class LineReader {
 public:
  explicit LineReader(size_t maxLineLength = kMaxPoiLineLength);
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;
  ~LineReader() { Close(); }

  // Opens a file at a Linux path; false with errno set when it cannot.
  bool Open(const std::string& linuxPath);
  void Close();

  // The next line without its LF (a CR before it stays). The view lives until the next call.
  // False at the end of the file or when reading fails (then Failed() is true).
  bool Next(std::string_view& line);
  // Whether the line Next returned last is a further piece of a line that was split: it has the
  // line number of the piece before.
  bool Continued() const { return continued_; }
  bool Failed() const { return error_ != 0; }
  int ErrorNumber() const { return error_; }

 private:
  bool Refill();
  // Returns the next `length` bytes as a line and steps over `consumed` bytes.
  bool Piece(std::string_view& line, size_t length, size_t consumed, bool split);

  size_t maxLineLength_;
  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
  size_t begin_ = 0;  // first byte not yet returned
  size_t end_ = 0;    // end of the bytes read
  bool endOfFile_ = false;
  int error_ = 0;
  bool split_ = false;  // the last piece returned ended without its line end
  bool continued_ = false;
};

}  // namespace converter
