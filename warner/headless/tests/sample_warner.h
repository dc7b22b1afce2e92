#pragma once
// The sample warner folder (settings, sounds, bitmaps and the sample database) that the headless
// tests run in; SAMPLE_DATA_DIR and SAMPLE_DATABASE come from the build.

#include <filesystem>

namespace warner::test {

inline void CopySampleWarner(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  const fs::path sample = SAMPLE_DATA_DIR;
  fs::create_directories(folder / "Sounds");
  fs::create_directories(folder / "Bitmaps");
  fs::copy(sample / "waypost", folder, fs::copy_options::recursive);
  fs::copy(sample / "sounds", folder / "Sounds");
  fs::copy(sample / "bitmaps", folder / "Bitmaps");
  fs::copy_file(SAMPLE_DATABASE, folder / "Sentry.snt");
}

}  // namespace warner::test
