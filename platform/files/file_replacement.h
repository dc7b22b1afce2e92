#pragma once
// Replacing files so that a reader never finds a damaged one: the new version is written to a
// temporary file beside its target, on the same file system, and only a finished temporary takes
// the target's place, by a rename. Paths are Linux paths. Failures leave errno set and the system
// error number as the thread's last error.

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace platform {

struct FileReplacement {
  std::string target;     // the file to replace; a symbolic link is followed to the file it names
  std::string temporary;  // where its new version is written; empty: written into the target
};

// Creates the temporary of `target` (a new file named after it, in the same folder) for binary
// writing, with the permission bits of the target when it exists. Null, with errno set, when it
// cannot be created, and for a target that is a folder (EISDIR) or read-only, that is without any
// write permission bit (EACCES, whatever the account). A target that is a device or a pipe is not
// replaced but opened for writing as it stands. Until it is put in place or discarded, the
// temporary is registered for removal by RemoveReplacementsOnSignals.
std::FILE* CreateReplacement(std::string_view target, FileReplacement& out);

// Flushes a stream of CreateReplacement to the disk and closes it; false when a write that was
// still buffered, the flush or the close failed.
bool FinishReplacement(std::FILE* stream);

// Puts finished temporaries in place of their targets, in the given order, as one step that
// SIGINT and SIGTERM do not cut into. On a failed rename the remaining temporaries are removed and
// the result is the index of the one that failed; all put in place gives replacements.size().
size_t PutReplacementsInPlace(std::span<const FileReplacement> replacements);

// Removes temporaries that are not to be used.
void DiscardReplacements(std::span<const FileReplacement> replacements);

// From now on SIGINT and SIGTERM remove every registered temporary and end the process with the
// status 128 + the signal number. Call once, before the process starts any other thread: it blocks
// both signals in the calling thread, and threads started later inherit that.
void RemoveReplacementsOnSignals();

// Whether the file system that holds `folder` has at least `bytes` free for this user; true when
// that cannot be found out, so that the write itself decides.
bool HasFreeSpace(std::string_view folder, uint64_t bytes);

}  // namespace platform
