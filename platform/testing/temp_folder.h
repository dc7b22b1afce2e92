#pragma once
// A folder of a test's own under the system's temporary folder, removed with all it holds.

#include <filesystem>
#include <string>
#include <string_view>

namespace platform::testing {

class TempFolder {
 public:
  // `prefix` names the folder after the test module, so a left-over folder says whose it is.
  explicit TempFolder(std::string_view prefix = "dw_test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& relative) const { return path_ / relative; }
  // A file's path inside, as the text the code under test is given.
  std::string File(std::string_view name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace platform::testing
