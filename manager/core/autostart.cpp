#include "manager/core/autostart.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/errors/errors.h"

namespace manager {

namespace {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  const passwd* entry = getpwuid(getuid());
  return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

// An argument of the Exec key: inside double quotes '"', '`', '$' and '\' take a backslash, and a
// literal '%' is written "%%" since '%' starts a field code.
std::string QuotedExecArgument(std::string_view argument) {
  std::string quoted = "\"";
  for (const char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  return quoted + "\"";
}

// A value of type string in a desktop entry: backslashes and line ends escaped.
std::string EscapedValue(std::string_view value) {
  std::string escaped;
  for (const char c : value) {
    switch (c) {
      case '\\': escaped += "\\\\"; break;
      case '\n': escaped += "\\n"; break;
      case '\r': escaped += "\\r"; break;
      case '\t': escaped += "\\t"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

}  // namespace

std::string AutostartFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string base = config != nullptr && config[0] == '/' ? std::string(config) : HomeFolder() + "/.config";
  return base + "/autostart";
}

std::string AutostartEntryPath(std::string_view programName) {
  return AutostartFolder() + "/" + std::string(programName) + ".desktop";
}

std::string AutostartEntryText(std::string_view programName, std::string_view programPath) {
  const std::string name = EscapedValue(programName);
  return "[Desktop Entry]\nType=Application\nName=" + name + "\nComment=Activates the " + name +
         " virtual port driver\nExec=" + EscapedValue(QuotedExecArgument(programPath)) +
         " -A\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
}

bool RemoveAutostartEntry(const std::string& path) {
  if (std::remove(path.c_str()) == 0 || errno == ENOENT) return true;
  platform::SetLastErrorFromErrno(errno);
  return false;
}

bool WriteAutostartEntry(const std::string& path, std::string_view text) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  if (error) {
    platform::SetLastErrorFromErrno(error.value());
    return false;
  }
  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) {
    platform::SetLastErrorFromErrno(errno);
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const int writeErrno = errno;
  if (std::fclose(file) != 0 || !written) {
    platform::SetLastErrorFromErrno(written ? errno : writeErrno);
    std::remove(path.c_str());
    return false;
  }
  return true;
}

}  // namespace manager
