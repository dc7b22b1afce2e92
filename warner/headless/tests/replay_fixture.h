#pragma once
// A warner folder made from the sample data in a temp folder, and the replay's JSON events.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "platform/reports/scripted_reporter.h"
#include "warner/headless/replay.h"

namespace warner {

namespace fs = std::filesystem;

struct Event {
  std::string line;
  std::string Field(const std::string& name) const {
    const std::regex pattern("\"" + name + "\":(\"([^\"]*)\"|([^,}]*))");
    std::smatch m;
    if (!std::regex_search(line, m, pattern)) return "";
    return m[2].matched ? m[2].str() : m[3].str();
  }
  double Number(const std::string& name) const { return std::atof(Field(name).c_str()); }
};

class Replay : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("replay_test_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    const fs::path sample = SAMPLE_DATA_DIR;
    fs::create_directories(dir_ / "folder" / "Sounds");
    fs::create_directories(dir_ / "folder" / "Bitmaps");
    fs::copy(sample / "waypost", dir_ / "folder", fs::copy_options::recursive);
    fs::copy(sample / "sounds", dir_ / "folder" / "Sounds");
    fs::copy(sample / "bitmaps", dir_ / "folder" / "Bitmaps");
    fs::copy_file(SAMPLE_DATABASE, dir_ / "folder" / "Sentry.snt");
    ::setenv("DW_SYSTEM_ROOT", (dir_ / "root").c_str(), 1);
    ::setenv("DW_SOUND", "null", 1);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The events go to `out` when given (and are then not read back).
  int Run(const std::string& log, std::vector<Event>* events = nullptr, std::FILE* given = nullptr) {
    std::FILE* out = given != nullptr ? given : std::tmpfile();
    ReplayOptions options;
    options.logFile = log;
    options.programFolder = folder_.empty() ? (dir_ / "folder").string() : folder_;
    options.json = true;
    const int result = RunReplay(options, out, reporter_);
    if (given != nullptr) return result;
    std::rewind(out);
    char line[4096];
    while (events != nullptr && std::fgets(line, sizeof line, out)) events->push_back({line});
    std::fclose(out);
    return result;
  }

  void AddGlobals(const std::string& lines) {
    std::ofstream(dir_ / "folder" / "SntGlobals.ini", std::ios::app) << lines;
  }

  fs::path dir_;
  std::string folder_;  // the --folder given; empty: the sample folder's absolute path
  platform::ScriptedReporter reporter_;
};

inline std::vector<Event> Only(const std::vector<Event>& events, const std::string& kind) {
  std::vector<Event> chosen;
  for (const Event& e : events) {
    if (e.Field("event") == kind) chosen.push_back(e);
  }
  return chosen;
}

}  // namespace warner
