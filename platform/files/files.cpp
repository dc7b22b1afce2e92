#include "platform/files/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/errors/errors.h"
#include "platform/paths/paths.h"

namespace platform {

namespace {

// Closes a descriptor on every path out of a function.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// Copies what is left of `in` to `out`; false with errno set on a failure.
bool CopyContent(int in, int out) {
  char block[8192];
  for (;;) {
    const ssize_t got = ::read(in, block, sizeof block);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WriteAll(out, block, static_cast<size_t>(got))) return false;
  }
}

}  // namespace

bool GetFileInfo(std::string_view path, FileInfo& info) {
  struct stat st {};
  if (::stat(ToLinuxPath(path).c_str(), &st) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  // The permission bits, not access(): the test must say the same for every account, root included.
  info.readOnly = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
  info.lastWriteUtcMs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
  return true;
}

bool CopyFileOverwrite(std::string_view from, std::string_view to) {
  const Descriptor in(::open(ToLinuxPath(from).c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  const Descriptor out(::open(ToLinuxPath(to).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (out.get() < 0 || !CopyContent(in.get(), out.get())) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

FileBytes ReadFileBytes(std::string_view path) {
  FileBytes result;
  std::FILE* file = std::fopen(ToLinuxPath(path).c_str(), "rb");
  if (file == nullptr) {
    result.error = errno;
  } else {
    result.opened = true;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) result.bytes.append(chunk, got);
    if (std::ferror(file) != 0) result.error = errno != 0 ? errno : EIO;
    std::fclose(file);
  }
  if (result.error != 0) SetLastErrorFromErrno(result.error);
  return result;
}

}  // namespace platform
