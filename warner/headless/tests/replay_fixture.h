#pragma once
// A warner folder made from the sample data in a temp folder, and the replay's JSON events.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "platform/reports/scripted_reporter.h"
#include "platform/testing/system_root.h"
#include "warner/headless/replay.h"
#include "warner/headless/tests/sample_warner.h"

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

class Replay : public platform::testing::SystemRootTest {
 protected:
  void SetUp() override { test::CopySampleWarner(dir_ / "folder"); }

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

  const platform::testing::ScopedEnv sound_{"DW_SOUND", "null"};
  const fs::path dir_{system_.Folder()};
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
