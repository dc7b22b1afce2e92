#include "platform/version/version.h"

#include <cctype>

namespace platform {

std::string VersionText(std::string_view fileVersion) {
  std::string text;
  for (const char c : fileVersion) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    text.push_back(c == ',' ? '.' : c);
  }
  return text;
}

std::string ProgramVersionText() { return VersionText(kFileVersion); }

}  // namespace platform
