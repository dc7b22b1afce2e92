#pragma once
// The startup shortcut of a resident manager: an XDG autostart entry that runs the manager with
// "-A" when the user's session starts, so the driver is activated again after every restart.

#include <string>
#include <string_view>

namespace manager {

// $XDG_CONFIG_HOME/autostart (an absolute XDG_CONFIG_HOME only, as XDG asks), else
// $HOME/.config/autostart.
std::string AutostartFolder();
// <folder>/<program name>.desktop
std::string AutostartEntryPath(std::string_view programName);
// The entry's text; its Exec line runs "<programPath>" -A, quoted and escaped as the desktop entry
// format wants, whatever characters the path holds.
std::string AutostartEntryText(std::string_view programName, std::string_view programPath);

// Both set the last error on failure. Removing an entry that is not there succeeds.
bool RemoveAutostartEntry(const std::string& path);
bool WriteAutostartEntry(const std::string& path, std::string_view text);

}  // namespace manager
