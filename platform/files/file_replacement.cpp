#include "platform/files/file_replacement.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/errors/errors.h"

namespace platform {
namespace {

// The temporaries that exist, so that a signal can remove them. The process has one set of them;
// it is never destroyed, so the signal thread can still use it while the process exits.
struct Temporaries {
  std::mutex mutex;
  std::vector<std::string> paths;
};

Temporaries& Registered() {
  static Temporaries* temporaries = new Temporaries;
  return *temporaries;
}

void Forget(std::vector<std::string>& paths, const std::string& path) {
  const auto at = std::find(paths.begin(), paths.end(), path);
  if (at != paths.end()) paths.erase(at);
}

void DiscardLocked(Temporaries& temporaries, std::span<const FileReplacement> replacements) {
  for (const FileReplacement& replacement : replacements) {
    if (replacement.temporary.empty()) continue;
    ::unlink(replacement.temporary.c_str());
    Forget(temporaries.paths, replacement.temporary);
  }
}

// A new version replaces the file a link names, not the link: the link stays.
std::string FollowLink(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

bool Fail() {
  SetLastErrorFromErrno(errno);
  return false;
}

// Refused like an open for writing would refuse it, for every account alike (root included): a
// folder, and a file without any write permission bit, the handheld's read-only attribute.
bool Refused(const struct stat& st) {
  errno = S_ISDIR(st.st_mode) ? EISDIR : EACCES;
  return S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0);
}

// A device or a pipe is not a file to replace: it is written as it stands.
std::FILE* OpenInPlace(FileReplacement& out) {
  out.temporary.clear();
  std::FILE* stream = std::fopen(out.target.c_str(), "wb");
  if (stream == nullptr) Fail();
  return stream;
}

}  // namespace

std::FILE* CreateReplacement(std::string_view target, FileReplacement& out) {
  out.target = FollowLink(std::string(target));
  struct stat st {};
  const bool exists = ::stat(out.target.c_str(), &st) == 0;
  if (exists && Refused(st)) {
    Fail();
    return nullptr;
  }
  if (exists && !S_ISREG(st.st_mode)) return OpenInPlace(out);

  Temporaries& temporaries = Registered();
  const std::lock_guard lock(temporaries.mutex);
  static unsigned serial = 0;
  int fd = -1;
  // A name of our own that no other file has: the process id and a count, created exclusively.
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    out.temporary = out.target + "." + std::to_string(::getpid()) + "-" + std::to_string(serial++) + ".tmp";
    fd = ::open(out.temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    Fail();
    return nullptr;
  }
  std::FILE* stream = nullptr;
  if ((!exists || ::fchmod(fd, st.st_mode & 07777) == 0) && (stream = ::fdopen(fd, "wb")) != nullptr) {
    temporaries.paths.push_back(out.temporary);
    return stream;
  }
  const int error = errno;
  ::close(fd);
  ::unlink(out.temporary.c_str());
  errno = error;
  Fail();
  return nullptr;
}

bool FinishReplacement(std::FILE* stream) {
  int error = 0;
  if (std::fflush(stream) != 0 || std::ferror(stream) != 0) error = errno != 0 ? errno : EIO;
  // EINVAL: a device or pipe that has nothing to sync.
  if (error == 0 && ::fsync(::fileno(stream)) != 0 && errno != EINVAL) error = errno;
  if (std::fclose(stream) != 0 && error == 0) error = errno;
  if (error == 0) return true;
  errno = error;
  return Fail();
}

size_t PutReplacementsInPlace(std::span<const FileReplacement> replacements) {
  Temporaries& temporaries = Registered();
  const std::lock_guard lock(temporaries.mutex);
  size_t done = 0;
  for (; done < replacements.size(); ++done) {
    const FileReplacement& replacement = replacements[done];
    if (replacement.temporary.empty()) continue;
    if (::rename(replacement.temporary.c_str(), replacement.target.c_str()) != 0) break;
    Forget(temporaries.paths, replacement.temporary);
  }
  if (done == replacements.size()) return done;
  const int error = errno;
  DiscardLocked(temporaries, replacements.subspan(done));
  errno = error;
  Fail();
  return done;
}

void DiscardReplacements(std::span<const FileReplacement> replacements) {
  Temporaries& temporaries = Registered();
  const std::lock_guard lock(temporaries.mutex);
  DiscardLocked(temporaries, replacements);
}

void RemoveReplacementsOnSignals() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // The signals are taken by a thread of their own rather than by a handler, so removing the
    // files may lock, and waits for a step of renames to end instead of cutting into it.
    std::thread([signals] {
      int signal = 0;
      if (sigwait(&signals, &signal) != 0) return;
      Temporaries& temporaries = Registered();
      temporaries.mutex.lock();
      for (const std::string& path : temporaries.paths) ::unlink(path.c_str());
      ::_exit(128 + signal);
    }).detach();
  });
}

bool HasFreeSpace(std::string_view folder, uint64_t bytes) {
  struct statvfs fs {};
  const std::string path = folder.empty() ? std::string(".") : std::string(folder);
  if (::statvfs(path.c_str(), &fs) != 0) return true;
  return static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize >= bytes;
}

}  // namespace platform
