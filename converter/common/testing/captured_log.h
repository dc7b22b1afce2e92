#pragma once
// For tests: a run log whose console is a temporary file, read back as text.

#include <cstdio>
#include <string>

#include "converter/common/run_log.h"

namespace converter::testing {

class CapturedLog {
 public:
  CapturedLog() : file_(std::tmpfile()), log_(file_) {}
  CapturedLog(const CapturedLog&) = delete;
  CapturedLog& operator=(const CapturedLog&) = delete;
  ~CapturedLog() {
    log_.CloseFile();
    std::fclose(file_);
  }

  RunLog& log() { return log_; }

  // Everything written to the console so far.
  std::string Text() {
    std::fflush(file_);
    std::rewind(file_);
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file_)) > 0;) text.append(buffer, n);
    return text;
  }

 private:
  std::FILE* file_;
  RunLog log_;
};

}  // namespace converter::testing
