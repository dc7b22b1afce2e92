#pragma once
// Where the decoders write their diagnostic trace. The warner runs without one; tools and tests
// attach a stream or a string. Every decoder of one CRDSDecoder writes to the same sink, which
// remembers whether the last text ended a line, so that a group's trace line is always closed.

#include <cstdio>
#include <string>
#include <string_view>

namespace traffic {

class TraceSink {
 public:
  virtual ~TraceSink() = default;

  void Printf(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  // Ends the current line unless the last text already did.
  void EndLine();

 protected:
  virtual void Write(std::string_view text) = 0;

 private:
  bool lineOpen_ = false;
};

// Writes to a stream that the caller owns and closes.
class FileTraceSink final : public TraceSink {
 public:
  explicit FileTraceSink(std::FILE* stream) : stream_(stream) {}

 protected:
  void Write(std::string_view text) override;

 private:
  std::FILE* stream_;
};

// Collects the trace in memory.
class StringTraceSink final : public TraceSink {
 public:
  const std::string& Text() const { return text_; }
  void Clear() { text_.clear(); }

 protected:
  void Write(std::string_view text) override { text_.append(text); }

 private:
  std::string text_;
};

// A sink and a level as each decoder holds them: lines of `level` or below are written.
struct Trace {
  TraceSink* sink = nullptr;
  int level = 0;

  bool At(int minimumLevel) const { return sink != nullptr && level >= minimumLevel; }
};

}  // namespace traffic
