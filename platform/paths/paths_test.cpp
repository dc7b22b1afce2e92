#include "platform/paths/paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/errors/errors.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// Sets or clears an environment variable for one test and puts the old value back afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    Set(value);
  }
  ~ScopedEnv() { Set(old_ ? old_->c_str() : nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Set(const char* value) {
    if (value != nullptr) {
      setenv(name_, value, 1);
    } else {
      unsetenv(name_);
    }
  }

  const char* name_;
  std::optional<std::string> old_;
};

// A fresh folder that serves as the system root of one test.
class PathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "paths_test_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    rootEnv_.emplace("DW_SYSTEM_ROOT", root_.c_str());
  }
  void TearDown() override { fs::remove_all(root_); }

  void WriteFile(const fs::path& path) { std::ofstream(path) << "x"; }

  std::string root_;
  std::optional<ScopedEnv> rootEnv_;
};

TEST_F(PathsTest, SystemRootComesFromTheEnvironmentOnEveryCall) {
  EXPECT_EQ(SystemRoot(), root_);
  ScopedEnv slashes("DW_SYSTEM_ROOT", "/srv/dw//");
  EXPECT_EQ(SystemRoot(), "/srv/dw");
}

TEST(SystemRoot, FallsBackToTheXdgDataFolderThenHome) {
  ScopedEnv noRoot("DW_SYSTEM_ROOT", "");
  ScopedEnv home("HOME", "/home/tester");
  {
    ScopedEnv xdg("XDG_DATA_HOME", "/data/xdg/");
    EXPECT_EQ(SystemRoot(), "/data/xdg/driver-warner/root");
  }
  {
    ScopedEnv relativeXdg("XDG_DATA_HOME", "relative/xdg");  // XDG says: ignore it
    EXPECT_EQ(SystemRoot(), "/home/tester/.local/share/driver-warner/root");
  }
  ScopedEnv noXdg("XDG_DATA_HOME", nullptr);
  EXPECT_EQ(SystemRoot(), "/home/tester/.local/share/driver-warner/root");
  ScopedEnv noHome("HOME", nullptr);
  const std::string fromAccount = SystemRoot();
  EXPECT_EQ(fromAccount.front(), '/');
  EXPECT_TRUE(fromAccount.ends_with("/.local/share/driver-warner/root")) << fromAccount;
}

TEST_F(PathsTest, HandheldAbsolutePathsLieUnderTheSystemRoot) {
  EXPECT_EQ(ToLinuxPath("\\Windows\\Alarm1.wav"), root_ + "/Windows/Alarm1.wav");
  EXPECT_EQ(ToLinuxPath("\\My Documents/logs\\gps.txt"), root_ + "/My Documents/logs/gps.txt");
  EXPECT_EQ(ToLinuxPath("c:\\Data/pois.csv"), root_ + "/C/Data/pois.csv");
  EXPECT_EQ(ToLinuxPath("D:/x"), root_ + "/D/x");
  ScopedEnv slashRoot("DW_SYSTEM_ROOT", "/");
  EXPECT_EQ(ToLinuxPath("\\Windows\\a.wav"), "/Windows/a.wav");
}

TEST_F(PathsTest, LinuxRelativeAndDevicePathsKeepTheirMeaning) {
  EXPECT_EQ(ToLinuxPath("/usr/share\\sounds/a.wav"), "/usr/share/sounds/a.wav");
  EXPECT_EQ(ToLinuxPath("Sounds\\Alarm1.wav"), "Sounds/Alarm1.wav");
  EXPECT_EQ(ToLinuxPath("C:name"), "C:name");
  EXPECT_EQ(ToLinuxPath("COM6:"), "COM6:");
  EXPECT_EQ(ToLinuxPath("/dev/ttyUSB0:"), "/dev/ttyUSB0:");
  EXPECT_EQ(ToLinuxPath(""), "");
}

TEST(PathText, PartsSplitAtEitherSeparator) {
  EXPECT_EQ(FileNamePart("\\Windows/sub\\Alarm1.wav"), "Alarm1.wav");
  EXPECT_EQ(FolderPart("\\Windows/sub\\Alarm1.wav"), "\\Windows/sub\\");
  EXPECT_EQ(FileNamePart("Alarm1.wav"), "Alarm1.wav");
  EXPECT_EQ(FolderPart("Alarm1.wav"), "");
  EXPECT_EQ(FileNamePart("\\Windows\\"), "");
  EXPECT_EQ(BaseNamePart("/opt/dw/bin.d/SercastMgrTMC.exe"), "SercastMgrTMC");
  EXPECT_EQ(BaseNamePart("archive.tar.gz"), "archive.tar");
  EXPECT_EQ(BaseNamePart("\\Windows\\.hidden"), ".hidden");
  EXPECT_EQ(BaseNamePart("/opt/dw.d/waypost"), "waypost");
  EXPECT_EQ(ProgramFolderFor("/opt/dw/bin/waypost"), "/opt/dw/bin/");
  EXPECT_EQ(ProgramFolderFor("waypost"), "./");
}

TEST(PathText, TrailingSeparators) {
  EXPECT_EQ(EnsureTrailingSeparator("\\My Documents"), "\\My Documents\\");
  EXPECT_EQ(EnsureTrailingSeparator("/tmp/dw"), "/tmp/dw/");
  EXPECT_EQ(EnsureTrailingSeparator("Logs"), "Logs\\");
  EXPECT_EQ(EnsureTrailingSeparator("Logs/"), "Logs/");
  EXPECT_EQ(EnsureTrailingSeparator(""), "");

  EXPECT_EQ(RemoveTrailingSeparator("\\Windows\\"), "\\Windows");
  EXPECT_EQ(RemoveTrailingSeparator("a//"), "a/");
  EXPECT_EQ(RemoveTrailingSeparator("a"), "a");
  EXPECT_EQ(RemoveTrailingSeparator("\\"), "\\");
  EXPECT_EQ(RemoveTrailingSeparator("/"), "/");
  EXPECT_EQ(RemoveTrailingSeparator("C:\\"), "C:\\");
}

TEST(PathText, JoinPutsOneSeparatorBetween) {
  EXPECT_EQ(JoinPath("\\Windows", "Alarm1.wav"), "\\Windows\\Alarm1.wav");
  EXPECT_EQ(JoinPath("/tmp/", "/x.txt"), "/tmp/x.txt");
  EXPECT_EQ(JoinPath("", "\\x.txt"), "\\x.txt");
  EXPECT_EQ(JoinPath("dir", ""), "dir\\");
}

TEST(ProgramFolder, NamesTheFolderOfTheRunningProgram) {
  const std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.front(), '/');
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(FileExists(folder + "platform_paths_test"));
}

TEST_F(PathsTest, CreateFoldersMakesMissingParents) {
  ASSERT_TRUE(CreateFolders("\\My Documents\\Logs/2024\\"));
  EXPECT_TRUE(fs::is_directory(root_ + "/My Documents/Logs/2024"));
  EXPECT_TRUE(CreateFolders("\\My Documents\\Logs")) << "an existing folder is no failure";
  ASSERT_TRUE(CreateFolders(root_ + "/linux/form"));
  EXPECT_TRUE(fs::is_directory(root_ + "/linux/form"));
}

TEST_F(PathsTest, CreateFoldersReportsWhatIsInTheWay) {
  WriteFile(root_ + "/file");
  SetLastError(kErrorSuccess);
  EXPECT_FALSE(CreateFolders("\\file\\sub"));
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);
  SetLastError(kErrorSuccess);
  EXPECT_FALSE(CreateFolders("\\file"));
  EXPECT_EQ(GetLastError(), kErrorFileExists);
  SetLastError(kErrorSuccess);
  EXPECT_FALSE(CreateFolders(""));
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);
}

TEST_F(PathsTest, FileExistsOnlyForFiles) {
  WriteFile(root_ + "/Alarm1.wav");
  EXPECT_TRUE(FileExists("\\Alarm1.wav"));
  SetLastError(kErrorSuccess);
  EXPECT_FALSE(FileExists("\\Missing.wav"));
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_FALSE(FileExists("\\"));
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
}

}  // namespace
}  // namespace platform
