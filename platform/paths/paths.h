#pragma once
// Paths as the programs carry them (handheld form: `\` separators, `\Windows\...`,
// `\My Documents\...`) and their Linux places. Both `\` and `/` separate folders everywhere here.

#include <string>
#include <string_view>

namespace platform {

// The Linux path for a path in the programs' form:
//  - a text ending in ':' is a device name (`COM6:`, `/dev/ttyUSB0:`) and is returned unchanged;
//  - `\Windows\Alarm1.wav` (starts with `\`) is handheld-absolute and lies under SystemRoot():
//    `<root>/Windows/Alarm1.wav`;
//  - a drive path `C:\x\y` (letter, ':', separator) is handheld-absolute too, under a folder named
//    after the upper-case drive letter: `<root>/C/x/y`, so that two drives never share files;
//  - `/...` is a Linux path as it stands; anything else is relative and stays relative.
// In every case `\` becomes `/`; nothing else is normalised.
std::string ToLinuxPath(std::string_view path);

// The folder that stands for the handheld's file system: $DW_SYSTEM_ROOT when set and not empty,
// else $XDG_DATA_HOME/driver-warner/root (an absolute XDG_DATA_HOME only, as XDG asks), else
// $HOME/.local/share/driver-warner/root (the account's home folder when HOME is unset). Read from
// the environment on every call; never created here. No trailing '/' (unless it is "/").
std::string SystemRoot();

// The folder of the running program, from /proc/self/exe, with a trailing '/' like the handheld's
// trailing `\`, so a file name can be appended directly. Empty, with the last error set, when the
// link cannot be read.
std::string ProgramFolder();
// The folder part of an executable's path as ProgramFolder() gives it; "./" when the path names no
// folder.
std::string ProgramFolderFor(std::string_view exePath);

// What follows the last separator (the whole text when there is none).
std::string FileNamePart(std::string_view path);
// The file name without its extension (a leading dot is no extension): "\\x\\SercastMgr.exe" gives
// "SercastMgr".
std::string BaseNamePart(std::string_view path);
// Up to and including the last separator (empty when there is none).
std::string FolderPart(std::string_view path);
// Appends a separator unless the text ends in one: the kind the text already uses last, `\` when
// it has none. An empty text stays empty (it names the current folder, not the root).
std::string EnsureTrailingSeparator(std::string_view path);
// Removes one trailing separator, except from a root (`\`, `/`, `C:\`), whose meaning would change.
std::string RemoveTrailingSeparator(std::string_view path);
// `folder` and `name` with exactly one separator between them: joined to a folder, `name` is taken
// as relative (its leading separators are dropped). An empty folder gives `name` unchanged.
std::string JoinPath(std::string_view folder, std::string_view name);

// Creates the folder named by `path` (in the programs' form) with all missing parents. True when it
// exists as a folder afterwards; false with the last error set otherwise (a parent that is a file:
// kErrorPathNotFound; the folder itself a file: kErrorFileExists).
bool CreateFolders(std::string_view path);
// True when `path` (programs' form) names an existing entry that is not a folder; otherwise false
// with the last error set (kErrorFileNotFound, kErrorPathNotFound, or kErrorAccessDenied for a
// folder).
bool FileExists(std::string_view path);

}  // namespace platform
