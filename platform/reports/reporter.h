#pragma once
// Message boxes as the programs show them: the four error forms, warnings, Yes/No questions and
// information, behind one interface that a GUI, a console or a test script implements.

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The programs format every message into a buffer of this many characters; longer texts are cut.
inline constexpr size_t kMessageBufferSize = 520;

// printf into the message buffer: at most kMessageBufferSize - 1 bytes, and a cut never leaves half
// a UTF-8 character behind (the whole character goes).
std::string VFormatMessage520(const char* fmt, va_list args) __attribute__((format(printf, 1, 0)));
std::string FormatMessage520(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The icon of a message box.
enum class Severity { kError, kWarning, kQuestion, kInformation };

// Shows messages to the user. The helpers format; implementations only show and ask. Every text
// is cut to the message buffer; in the error forms the "Error No %d: " line has a buffer of its own
// and follows the message whole, so a long message never cuts away the error number.
class Reporter {
 public:
  virtual ~Reporter() = default;

  // The message followed by "Error No %d: " and the text of the thread's last error.
  void ErrorLastError(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  // The message followed by "Error No %d: " and the text of `code`.
  void ErrorCode(uint32_t code, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
  // As ErrorLastError, then "\nContinue?" as a Yes/No question; true for Yes.
  bool ErrorContinue(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  // The plain message with the error icon.
  void Error(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  void Warn(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  // A Yes/No question; true for Yes.
  bool AskYesNo(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  // A Yes/No question with the warning icon, for a step that cannot be undone; true for Yes.
  bool AskWarning(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  // An OK box with the information icon.
  void Inform(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

 protected:
  // Shows `text` until the user acknowledges it.
  virtual void Show(Severity severity, std::string_view text) = 0;
  // Asks `text` as a Yes/No question; true for Yes.
  virtual bool Ask(Severity severity, std::string_view text) = 0;
};

}  // namespace platform
