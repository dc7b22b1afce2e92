#include "converter/common/staged_outputs.h"

#include <cerrno>

#include "platform/paths/paths.h"

namespace converter {

std::FILE* StagedOutputs::Create(std::string_view configuredPath, RunLog* log, uint64_t size) {
  Staged entry{std::string(configuredPath), {}, nullptr};
  const std::string target = ConverterPath(configuredPath);
  // Checked before a byte is written: the old file would stay anyway, but the run can stop early.
  if (size != 0 && !platform::HasFreeSpace(platform::FolderPart(target), size)) {
    errno = ENOSPC;
  } else {
    entry.stream = platform::CreateReplacement(target, entry.files);
  }
  if (entry.stream == nullptr) {
    const int error = errno;
    if (log != nullptr) {
      log->Printf("### Can't open file '%s' for write. Reason: %s. ###\n", entry.configuredPath.c_str(),
                  ErrnoText(error).c_str());
    }
    errno = error;
    return nullptr;
  }
  staged_.push_back(std::move(entry));
  return staged_.back().stream;
}

bool StagedOutputs::Finish(std::FILE* stream, RunLog* log) {
  // The stream just written is the last one created, but for the bitmap copies of a subcategory.
  for (auto entry = staged_.rbegin(); entry != staged_.rend(); ++entry) {
    if (entry->stream != stream) continue;
    entry->stream = nullptr;
    if (platform::FinishReplacement(stream)) return true;
    const int error = errno;
    if (log != nullptr) {
      log->Printf("### Can't write to file '%s'. Reason: %s. ###\n", entry->configuredPath.c_str(),
                  ErrnoText(error).c_str());
    }
    errno = error;
    return false;
  }
  errno = EBADF;
  return false;
}

bool StagedOutputs::Commit(RunLog& log) {
  std::vector<platform::FileReplacement> files;
  files.reserve(staged_.size());
  for (const Staged& entry : staged_) files.push_back(entry.files);
  const size_t done = platform::PutReplacementsInPlace(files);
  const bool failed = done < staged_.size();
  if (failed) {
    log.Printf("### Can't write to file '%s'. Reason: %s. ###\n", staged_[done].configuredPath.c_str(),
               ErrnoText(errno).c_str());
  }
  staged_.clear();
  return !failed;
}

void StagedOutputs::Discard() {
  std::vector<platform::FileReplacement> files;
  for (Staged& entry : staged_) {
    if (entry.stream != nullptr) std::fclose(entry.stream);
    files.push_back(std::move(entry.files));
  }
  platform::DiscardReplacements(files);
  staged_.clear();
}

}  // namespace converter
