#pragma once
// Starting another program, with or without waiting for it to end.

#include <sys/types.h>
#include <string>
#include <vector>

namespace platform {

struct ProcessResult {
  bool ok = false;    // started, and when waited for also ended
  pid_t pid = -1;     // of the started program
  int exitCode = -1;  // when waited for: its exit code, or 128 + the signal that ended it
};

// Starts program (looked up in PATH when it has no '/') with args as its arguments after argv[0];
// the arguments reach it as given, no quoting is taken off. A name ending in ".exe" (any case) is
// tried as given and then without the ending. On failure ok is false and the last error is set
// (kErrorFileNotFound when there is no such program). A program not waited for is reaped in the
// background when it ends, so it leaves no zombie; its pid is only good for looking at it.
ProcessResult StartProcess(const std::string& program, const std::vector<std::string>& args, bool wait);

}  // namespace platform
