#pragma once
// The port test: shows what arrives on a port, as raw text or as one summary line per GPS sentence.
// A virtual port is read as a second, read-only client while the test's own handle, opened with
// write access, makes the driver read its input: so the sharing itself is what is tested.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/reports/reporter.h"

namespace manager {

// Where the test's lines go: a list of at most kPortTestLines lines. Called on the test's thread.
class PortTestSink {
 public:
  virtual ~PortTestSink() = default;
  virtual void Clear() = 0;
  virtual void RemoveFirstLine() = 0;
  virtual void AddLine(const std::string& line) = 0;
};

inline constexpr int kPortTestLines = 8;
inline constexpr size_t kRawLineLength = 36;

enum class PortTestMode { kNone = 0, kRaw = 1, kGps = 2 };

struct PortTestTarget {
  std::string name;  // a port ("COM4:"), a Linux device with ':' or a file
  bool virtualPort = false;
  uint32_t baudRate = 4800;  // below 1200 counts as 4800
};

class PortTest {
 public:
  PortTest(platform::Reporter& reporter, PortTestSink& sink);
  ~PortTest();
  PortTest(const PortTest&) = delete;
  PortTest& operator=(const PortTest&) = delete;

  // Opens the target and starts the test thread; false (after the error box) when it cannot.
  bool Start(PortTestMode mode, const PortTestTarget& target);
  // Asks the thread to end and waits for it, 500 ms at a time, up to 10 s; a thread that still
  // runs then is left to end by itself.
  void Stop();

  PortTestMode Mode() const { return mode_; }
  bool Running() const { return mode_ != PortTestMode::kNone; }
  // "PortData", then "Raw Data from <port>" or "GPS Data from <port>".
  const std::string& Caption() const { return caption_; }

 private:
  struct Run;

  platform::Reporter& reporter_;
  PortTestSink& sink_;
  PortTestMode mode_ = PortTestMode::kNone;
  std::string caption_ = "PortData";
  std::shared_ptr<Run> run_;
};

}  // namespace manager
