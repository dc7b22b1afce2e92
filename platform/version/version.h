#pragma once
// The version the programs show: their file version text with blanks removed and commas turned
// into points ("0, 1, 0, 0" is shown as "0.1.0.0").

#include <string>
#include <string_view>

#include "platform/version/file_version.h"

namespace platform {

std::string VersionText(std::string_view fileVersion);
std::string ProgramVersionText();  // VersionText(kFileVersion)

}  // namespace platform
