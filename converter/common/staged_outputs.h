#pragma once
// The files of a run, each written under a temporary name beside its target and put in place only
// once every one of them is written: a run that fails or is stopped leaves the files of the run
// before as they were, never a mix of new, old and cut ones.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "converter/common/run_log.h"
#include "platform/files/file_replacement.h"

namespace converter {

class StagedOutputs {
 public:
  StagedOutputs() = default;
  StagedOutputs(const StagedOutputs&) = delete;
  StagedOutputs& operator=(const StagedOutputs&) = delete;
  ~StagedOutputs() { Discard(); }

  // The new version of a target (configured form), open for binary writing; the set owns the
  // stream. A read-only target, a folder in its place, or (when `size` is given) too little free
  // space refuse it. Null with errno set, after "Can't open file '%s' for write. Reason: %s." in
  // the log when one is given.
  std::FILE* Create(std::string_view configuredPath, RunLog* log, uint64_t size = 0);
  // Flushes a stream of Create to the disk and closes it; the file then waits for Commit. False
  // with errno set, after "Can't write to file '%s'. Reason: %s." in the log when one is given.
  bool Finish(std::FILE* stream, RunLog* log);
  // Puts every file in place, in the order they were created. False after "Can't write to file"
  // in the log when one cannot be; the files not yet in place are then removed.
  bool Commit(RunLog& log);
  // Removes every file not put in place.
  void Discard();

 private:
  struct Staged {
    std::string configuredPath;  // as the messages quote it
    platform::FileReplacement files;
    std::FILE* stream = nullptr;  // until finished
  };

  std::vector<Staged> staged_;
};

}  // namespace converter
