#pragma once
// The entries of the port list: serial ports by their device names and the entry that stands for
// a GPS log file.

#include <string_view>

namespace serial {

inline constexpr const char* kFileEntry = "FILE";
inline constexpr int kMaxPortNumber = 32;

// The source kind of an entry: the port number that starts at the fourth character ("COM6:" gives
// 6) up to kMaxPortNumber, 256 (warner::kInputKindFile) for "FILE" in any case, -1 for anything else.
int PortEntryKind(std::string_view name);

}  // namespace serial
