#pragma once
// Whole files as bytes, as the tests write their inputs and read back what the code wrote.

#include <filesystem>
#include <string>

namespace platform::testing {

// The file's bytes; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);
// Replaces the file with `bytes`, creating its folder.
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace platform::testing
