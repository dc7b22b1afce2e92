#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "tools/tmc_lists/code_list_compiler.h"

namespace tmc_lists {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

bool Fail(const std::string& path, std::string& error) {
  error = path + ": " + std::strerror(errno);
  return false;
}

}  // namespace

bool ReadFileBytes(const std::string& path, std::string& bytes, std::string& error) {
  const UniqueFile file(std::fopen(path.c_str(), "rb"));
  if (!file) return Fail(path, error);
  bytes.clear();
  char buffer[65536];
  size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.append(buffer, count);
  return std::ferror(file.get()) == 0 || Fail(path, error);
}

bool WriteFileBytes(const std::string& path, std::string_view bytes, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return Fail(path, error);
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const int savedErrno = errno;
  if (std::fclose(file) != 0 || !written) {
    if (!written) errno = savedErrno;
    return Fail(path, error);
  }
  return true;
}

}  // namespace tmc_lists
