#pragma once
// What the programs ask of a file beyond reading it: whether it is there, whether it may be
// written, when it was last written, and a copy over an existing file. Paths are in the programs'
// form (see platform/paths); failures leave a system error number as the thread's last error.

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

struct FileInfo {
  bool readOnly = false;       // no write permission bit set: the handheld's read-only attribute
  int64_t lastWriteUtcMs = 0;  // milliseconds since 1970-01-01 UTC

  bool operator==(const FileInfo&) const = default;
};

// False with the last error set when the path names nothing or a folder (kErrorAccessDenied).
bool GetFileInfo(std::string_view path, FileInfo& info);

// Copies `from` over `to` (created or truncated). False with the last error set when either side
// cannot be opened or the copy cannot be written whole.
bool CopyFileOverwrite(std::string_view from, std::string_view to);

// A whole file's bytes. On failure `error` holds its errno and the last error is set: a file that
// could not be opened leaves `opened` false and no bytes; a read that broke off keeps the bytes
// that came before it, which a reader of settings may still use.
struct FileBytes {
  std::string bytes;
  bool opened = false;
  int error = 0;
};
FileBytes ReadFileBytes(std::string_view path);

}  // namespace platform
