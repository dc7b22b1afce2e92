#include "paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/errors/errors.h"

namespace platform {

namespace {

constexpr std::string_view kSeparators = "\\/";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDriveRoot(std::string_view path) {
  if (path.size() < 3) return false;
  const char letter = path[0];
  const bool isLetter = (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
  return isLetter && path[1] == ':' && IsSeparator(path[2]);
}

std::string ForwardSlashes(std::string_view path) {
  std::string out(path);
  std::replace(out.begin(), out.end(), '\\', '/');
  return out;
}

// An environment variable, empty when unset.
std::string_view Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string HomeFolder() {
  if (const std::string_view home = Env("HOME"); !home.empty()) return std::string(home);
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] != '\0') {
    return found->pw_dir;
  }
  // Without a home the root must still not land on "/Windows/...": keep it below the current
  // folder.
  return ".";
}

// Empty for "/", so that appending "/name" gives one separator.
std::string WithoutTrailingSlashes(std::string_view path) {
  while (!path.empty() && path.back() == '/') path.remove_suffix(1);
  return std::string(path);
}

// `rest` is the path after its handheld root (the leading `\` or the drive's `X:\`).
std::string UnderSystemRoot(std::string_view rest) {
  std::string root = SystemRoot();
  if (root.back() != '/') root += '/';
  return root + ForwardSlashes(rest);
}

}  // namespace

std::string ToLinuxPath(std::string_view path) {
  if (path.empty() || path.back() == ':') return std::string(path);
  if (path.front() == '\\') return UnderSystemRoot(path.substr(1));
  if (IsDriveRoot(path)) {
    const char drive = path[0] >= 'a' ? static_cast<char>(path[0] - 'a' + 'A') : path[0];
    return UnderSystemRoot(std::string(1, drive) + '/' + std::string(path.substr(3)));
  }
  return ForwardSlashes(path);
}

std::string SystemRoot() {
  if (const std::string_view root = Env("DW_SYSTEM_ROOT"); !root.empty()) {
    const std::string trimmed = WithoutTrailingSlashes(root);
    return trimmed.empty() ? "/" : trimmed;
  }
  const std::string_view dataHome = Env("XDG_DATA_HOME");
  const std::string base = dataHome.starts_with('/') ? WithoutTrailingSlashes(dataHome)
                                                     : WithoutTrailingSlashes(HomeFolder()) + "/.local/share";
  return base + "/driver-warner/root";
}

std::string ProgramFolder() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    SetLastErrorFromErrno(error.value());
    return {};
  }
  return ProgramFolderFor(exe.native());
}

std::string ProgramFolderFor(std::string_view exePath) {
  const std::string folder = FolderPart(exePath);
  return folder.empty() ? "./" : folder;
}

std::string FileNamePart(std::string_view path) {
  const size_t last = path.find_last_of(kSeparators);
  return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

std::string BaseNamePart(std::string_view path) {
  std::string name = FileNamePart(path);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

std::string FolderPart(std::string_view path) {
  const size_t last = path.find_last_of(kSeparators);
  return std::string(last == std::string_view::npos ? "" : path.substr(0, last + 1));
}

std::string EnsureTrailingSeparator(std::string_view path) {
  std::string out(path);
  if (path.empty() || IsSeparator(path.back())) return out;
  const size_t last = path.find_last_of(kSeparators);
  out += last == std::string_view::npos ? '\\' : path[last];
  return out;
}

std::string RemoveTrailingSeparator(std::string_view path) {
  if (path.empty() || !IsSeparator(path.back())) return std::string(path);
  const bool isRoot = path.size() == 1 || (path.size() == 3 && IsDriveRoot(path));
  if (isRoot) return std::string(path);
  return std::string(path.substr(0, path.size() - 1));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  const size_t nameStart = std::min(name.find_first_not_of(kSeparators), name.size());
  return EnsureTrailingSeparator(folder) + std::string(name.substr(nameStart));
}

bool CreateFolders(std::string_view path) {
  const std::string linuxPath = ToLinuxPath(path);
  if (linuxPath.empty()) {
    SetLastError(kErrorPathNotFound);
    return false;
  }
  // Each folder along the way, the last one included; one that exists already is fine here, and a
  // file in the way makes the next step fail with ENOTDIR.
  for (size_t end = linuxPath.find('/', 1);; end = linuxPath.find('/', end + 1)) {
    if (mkdir(linuxPath.substr(0, end).c_str(), 0777) != 0 && errno != EEXIST) {
      SetLastErrorFromErrno(errno);
      return false;
    }
    if (end == std::string::npos) break;
  }
  struct stat info {};
  if (stat(linuxPath.c_str(), &info) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  if (!S_ISDIR(info.st_mode)) {
    SetLastErrorFromErrno(EEXIST);
    return false;
  }
  return true;
}

bool FileExists(std::string_view path) {
  struct stat info {};
  if (stat(ToLinuxPath(path).c_str(), &info) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  if (S_ISDIR(info.st_mode)) {
    SetLastErrorFromErrno(EISDIR);
    return false;
  }
  return true;
}

}  // namespace platform
