#include "platform/files/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/errors/errors.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("files_test_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& content) {
    std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  static std::string Read(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
  }

  fs::path dir_;
};

TEST_F(Files, InfoTellsReadOnlyByThePermissionBitsAndTheWriteTimeInMilliseconds) {
  const std::string path = Write("a.txt", "x");
  const timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 123456789}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  FileInfo info;
  ASSERT_TRUE(GetFileInfo(path, info));
  EXPECT_FALSE(info.readOnly);
  EXPECT_EQ(info.lastWriteUtcMs, 1700000000123);

  // Read-only for everyone, even for an account that could write anyway.
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  ASSERT_TRUE(GetFileInfo(path, info));
  EXPECT_TRUE(info.readOnly);
}

TEST_F(Files, InfoFailsForMissingFilesAndFolders) {
  FileInfo info;
  EXPECT_FALSE(GetFileInfo((dir_ / "missing").string(), info));
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_FALSE(GetFileInfo(dir_.string(), info));
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
}

TEST_F(Files, CopyReplacesALongerTargetWhole) {
  const std::string from = Write("from.txt", "short");
  const std::string to = Write("to.txt", "a much longer old content");
  ASSERT_TRUE(CopyFileOverwrite(from, to));
  EXPECT_EQ(Read(to), "short");

  // Handheld paths resolve under the system root.
  ::setenv("DW_SYSTEM_ROOT", dir_.c_str(), 1);
  ASSERT_TRUE(CopyFileOverwrite(from, "\\copy.txt"));
  EXPECT_EQ(Read((dir_ / "copy.txt").string()), "short");
}

TEST_F(Files, CopyFromAMissingFileLeavesTheTargetAlone) {
  const std::string to = Write("to.txt", "kept");
  EXPECT_FALSE(CopyFileOverwrite((dir_ / "missing").string(), to));
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_EQ(Read(to), "kept");
  EXPECT_FALSE(CopyFileOverwrite(to, (dir_ / "no" / "such" / "folder").string()));
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);  // ENOENT, as the handheld says for a missing folder too
}

TEST_F(Files, ReadFileBytesTellsAMissingFileFromABrokenRead) {
  // Longer than one read, with a NUL and line ends that must come back as they are.
  const std::string bytes = std::string("a\0b\r\n", 5) + std::string(10000, 'x');
  const FileBytes whole = ReadFileBytes(Write("data.bin", bytes));
  EXPECT_TRUE(whole.opened);
  EXPECT_EQ(whole.error, 0);
  EXPECT_EQ(whole.bytes, bytes);

  const FileBytes missing = ReadFileBytes((dir_ / "missing").string());
  EXPECT_FALSE(missing.opened);
  EXPECT_EQ(missing.error, ENOENT);
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);

  // A folder opens for reading on Linux; its read is what fails.
  const FileBytes folder = ReadFileBytes(dir_.string());
  EXPECT_TRUE(folder.opened);
  EXPECT_EQ(folder.error, EISDIR);
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
}

}  // namespace
}  // namespace platform
