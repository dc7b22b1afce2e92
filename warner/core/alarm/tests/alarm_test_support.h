#pragma once
// A temporary handheld for the alarm tests: a system root with the system sounds, a program folder
// with its Sounds and Bitmaps folders, and a player that remembers every request.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/paths/paths.h"
#include "platform/sound/silent_sound_players.h"
#include "platform/testing/files.h"
#include "platform/testing/system_root.h"
#include "warner/core/alarm/alarm_output.h"

namespace warner::testing {

// Checks every file as the real player does and keeps the Linux path of each request with its
// outcome.
class RequestLog final : public platform::SoundPlayer {
 public:
  struct Request {
    std::string linuxPath;
    bool played;
  };

  bool Play(const std::string& linuxPath) override {
    const bool played = checker_.Play(linuxPath);
    requests.push_back({linuxPath, played});
    return played;
  }
  void Stop() override {}

  // The Linux paths of the sounds that did play.
  std::vector<std::string> Played() const {
    std::vector<std::string> paths;
    for (const Request& request : requests) {
      if (request.played) paths.push_back(request.linuxPath);
    }
    return paths;
  }

  std::vector<Request> requests;

 private:
  platform::NullSoundPlayer checker_;
};

class AlarmTest : public platform::testing::SystemRootTest {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(base_ / "program" / "Sounds");
    std::filesystem::create_directories(base_ / "program" / "Bitmaps");
  }

  // A real sound in the program's Sounds folder (a copy of a system sound).
  std::string AddProgramSound(const std::string& fileName) {
    EnsureSystemSounds();
    const std::filesystem::path path = base_ / "program" / "Sounds" / fileName;
    std::filesystem::copy_file(platform::ToLinuxPath(kMenuPopSound), path);
    return path.string();
  }

  std::string AddProgramFile(const std::string& relativePath, const std::string& content) {
    const std::filesystem::path path = base_ / "program" / relativePath;
    platform::testing::WriteFile(path, content);
    return path.string();
  }

  static std::string System(const char* handheldPath) { return platform::ToLinuxPath(handheldPath); }

  const std::filesystem::path base_{system_.Folder()};
  const std::string programFolder_{(base_ / "program").string() + "/"};
  RequestLog player_;
};

}  // namespace warner::testing
