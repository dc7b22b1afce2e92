#include "platform/testing/temp_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <system_error>

namespace platform::testing {

TempFolder::TempFolder(std::string_view prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "_XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "mkdtemp failed for " << pattern;
    return;
  }
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;  // a folder that cannot go must not end the test run
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

}  // namespace platform::testing
