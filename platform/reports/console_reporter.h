#pragma once
// Reports of programs that run without a display.

#include <cstdio>

#include "platform/reports/reporter.h"

namespace platform {

// Writes every text to a stream with a prefix for its icon; a question is answered with the
// default given at construction, and the answer is written after it, so a log shows what was
// decided without anybody at the keyboard.
class ConsoleReporter final : public Reporter {
 public:
  explicit ConsoleReporter(bool defaultAnswer, FILE* out = stderr);

 protected:
  void Show(Severity severity, std::string_view text) override;
  bool Ask(Severity severity, std::string_view text) override;

 private:
  // One write per text, so that texts from several threads do not interleave.
  void Write(Severity severity, std::string_view text, std::string_view tail);

  bool defaultAnswer_;
  FILE* out_;
};

}  // namespace platform
