#pragma once

#include <string>

#include "platform/testing/temp_folder.h"

namespace platform::testing {

// A temporary folder for one test, with the sound and non-sound files it needs; removed afterwards.
class SoundFolder {
 public:
  std::string Path(const std::string& name) const { return folder_.File(name); }
  // A 16-bit WAV file holding a 440 Hz sine; returns its path.
  std::string Sine(const std::string& name, double seconds, int rate = 8000, int channels = 1) const;
  std::string Text(const std::string& name, const std::string& content) const;

 private:
  TempFolder folder_{"dw_sound"};
};

}  // namespace platform::testing
