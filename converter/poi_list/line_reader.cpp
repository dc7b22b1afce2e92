#include "converter/poi_list/line_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace converter {
namespace {

constexpr size_t kBlockSize = size_t{64} * 1024;

}  // namespace

LineReader::LineReader(size_t maxLineLength) : maxLineLength_(std::max<size_t>(maxLineLength, 1)) {}

bool LineReader::Open(const std::string& linuxPath) {
  Close();
  file_ = std::fopen(linuxPath.c_str(), "rb");
  if (file_ == nullptr) return false;
  // Our own buffer is the only one needed.
  std::setvbuf(file_, nullptr, _IONBF, 0);
  if (buffer_.empty()) buffer_.resize(std::min(kBlockSize, maxLineLength_ + 1));
  return true;
}

void LineReader::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  begin_ = end_ = 0;
  endOfFile_ = false;
  error_ = 0;
  split_ = continued_ = false;
}

bool LineReader::Next(std::string_view& line) {
  if (file_ == nullptr) return false;
  for (;;) {
    const char* const start = buffer_.data() + begin_;
    const size_t pending = end_ - begin_;
    const void* const lf = std::memchr(start, '\n', std::min(pending, maxLineLength_ + 1));
    if (lf != nullptr) {
      const size_t length = static_cast<size_t>(static_cast<const char*>(lf) - start);
      return Piece(line, length, length + 1, false);
    }
    // Only a line known to be longer than the limit is split, whatever the block boundaries.
    if (pending > maxLineLength_) return Piece(line, maxLineLength_, maxLineLength_, true);
    if (endOfFile_) return pending != 0 && Piece(line, pending, pending, false);
    if (!Refill()) return false;
  }
}

bool LineReader::Piece(std::string_view& line, size_t length, size_t consumed, bool split) {
  line = std::string_view(buffer_.data() + begin_, length);
  begin_ += consumed;
  continued_ = split_;
  split_ = split;
  return true;
}

bool LineReader::Refill() {
  const size_t pending = end_ - begin_;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, pending);
    begin_ = 0;
    end_ = pending;
  }
  if (end_ == buffer_.size()) {
    // A line longer than the buffer: grow up to the limit (plus one byte to see that it is exceeded).
    buffer_.resize(std::min(buffer_.size() * 2, maxLineLength_ + 1));
  }
  const size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
  end_ += got;
  if (got == 0) {
    if (std::ferror(file_)) {
      error_ = errno != 0 ? errno : EIO;
      return false;
    }
    endOfFile_ = true;
  }
  return true;
}

}  // namespace converter
