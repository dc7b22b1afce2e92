#include "console_reporter.h"

#include <string>

#include "platform/text/text.h"

namespace platform {

namespace {

std::string_view Prefix(Severity severity) {
  switch (severity) {
    case Severity::kError: return "Error: ";
    case Severity::kWarning: return "Warning: ";
    case Severity::kQuestion: return "Question: ";
    case Severity::kInformation: return "Information: ";
  }
  return "";
}

// Many messages end in a line end of their own; the console adds exactly one.
std::string_view WithoutTrailingNewlines(std::string_view text) {
  while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  return text;
}

}  // namespace

ConsoleReporter::ConsoleReporter(bool defaultAnswer, FILE* out) : defaultAnswer_(defaultAnswer), out_(out) {}

void ConsoleReporter::Show(Severity severity, std::string_view text) { Write(severity, text, ""); }

bool ConsoleReporter::Ask(Severity severity, std::string_view text) {
  Write(severity, text, defaultAnswer_ ? " [Yes/No] Yes" : " [Yes/No] No");
  return defaultAnswer_;
}

void ConsoleReporter::Write(Severity severity, std::string_view text, std::string_view tail) {
  std::string line(Prefix(severity));
  // Messages carry names and lines from files and devices: a garbage byte can neither break the
  // encoding nor reach the terminal as a control.
  line += TerminalSafe(WithoutTrailingNewlines(text), "\n");
  line += tail;
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fflush(out_);
}

}  // namespace platform
