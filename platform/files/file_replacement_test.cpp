#include "platform/files/file_replacement.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace platform {
namespace {

namespace fs = std::filesystem;

class Replacement : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("file_replacement_test_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  static void Write(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
  }
  static std::string Read(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
  }
  // A new version of `target` with `content`, finished but not in place.
  FileReplacement Stage(const std::string& target, const std::string& content) {
    FileReplacement replacement;
    std::FILE* stream = CreateReplacement(target, replacement);
    EXPECT_NE(stream, nullptr) << target;
    if (stream == nullptr) return replacement;
    std::fputs(content.c_str(), stream);
    EXPECT_TRUE(FinishReplacement(stream));
    return replacement;
  }
  size_t FileCount() const { return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {})); }

  fs::path dir_;
};

TEST_F(Replacement, TargetsKeepTheirOldContentUntilAllArePutInPlace) {
  Write(Path("a"), "old a");
  ::chmod(Path("a").c_str(), 0640);
  fs::create_symlink("a", dir_ / "link");
  const FileReplacement replacements[] = {Stage(Path("link"), "new a"), Stage(Path("b"), "new b")};
  EXPECT_EQ(replacements[0].target, fs::canonical(dir_ / "a").string());
  EXPECT_EQ(Read(Path("a")), "old a");
  EXPECT_FALSE(fs::exists(Path("b")));

  EXPECT_EQ(PutReplacementsInPlace(replacements), 2u);
  EXPECT_EQ(Read(Path("a")), "new a");
  EXPECT_EQ(Read(Path("b")), "new b");
  EXPECT_TRUE(fs::is_symlink(dir_ / "link"));  // the link stays and names the new file
  EXPECT_EQ(fs::status(Path("a")).permissions(), fs::perms(0640));
  EXPECT_EQ(FileCount(), 3u);  // no temporary left
}

TEST_F(Replacement, DiscardedOrFailedReplacementsLeaveTheOldFilesAndNoTemporary) {
  Write(Path("a"), "old a");
  FileReplacement discarded = Stage(Path("a"), "new a");
  DiscardReplacements({&discarded, 1});
  EXPECT_EQ(Read(Path("a")), "old a");

  // A folder put where the second target goes after it was staged: its rename fails.
  const FileReplacement replacements[] = {Stage(Path("b"), "new b"), Stage(Path("c"), "new c"),
                                          Stage(Path("d"), "new d")};
  fs::create_directories(dir_ / "c" / "inside");
  EXPECT_EQ(PutReplacementsInPlace(replacements), 1u);
  EXPECT_FALSE(fs::exists(Path("d")));
  EXPECT_EQ(FileCount(), 3u);  // a, b and the folder c
}

TEST_F(Replacement, FoldersAndReadOnlyFilesAreRefusedDevicesWrittenAsTheyStand) {
  Write(Path("ro"), "old");
  ::chmod(Path("ro").c_str(), 0444);
  FileReplacement replacement;
  EXPECT_EQ(CreateReplacement(Path("ro"), replacement), nullptr);
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(CreateReplacement(dir_.string(), replacement), nullptr);
  EXPECT_EQ(errno, EISDIR);
  EXPECT_EQ(FileCount(), 1u);

  std::FILE* null = CreateReplacement("/dev/null", replacement);
  ASSERT_NE(null, nullptr);
  EXPECT_TRUE(replacement.temporary.empty());
  EXPECT_TRUE(FinishReplacement(null));
  EXPECT_EQ(PutReplacementsInPlace({&replacement, 1}), 1u);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

}  // namespace
}  // namespace platform
