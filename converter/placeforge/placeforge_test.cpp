// The placeforge program end to end: its command line, console texts and exit codes, and whole
// conversions of the sample data for each target with every produced file checked.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct ProgramRun {
  int status = -1;
  std::string output;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class Placeforge : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("placeforge_test_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the program in the test folder with input from /dev/null, as a script would.
  ProgramRun Run(const std::string& args) {
    const std::string command = "cd '" + dir_.string() + "' && '" + PLACEFORGE_PATH + "' " + args + " </dev/null 2>&1";
    ProgramRun run;
    if (std::FILE* p = ::popen(command.c_str(), "r")) {
      char buffer[4096];
      for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) run.output.append(buffer, n);
      const int status = ::pclose(p);
      run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return run;
  }

  // The sample data copied into the test folder, its configuration set to `target`.
  void CopySample(const std::string& target) {
    fs::copy(SAMPLE_DATA_DIR, dir_, fs::copy_options::recursive);
    std::string config = ReadFile(dir_ / "placeforge.txt");
    config = std::regex_replace(config, std::regex("TargetSystem = \\w+"), "TargetSystem = " + target);
    WriteFile(dir_ / "placeforge.txt", config);
  }

  fs::path dir_;
};

TEST_F(Placeforge, WithoutAConfigurationItShowsTheCallingSequence) {
  ProgramRun run = Run("");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(
      run.output,
      "\nPlaceforge V4.2.0.0\n\nCalling sequence:\n Placeforge [-k] ConfigurationFile\nHit any key to continue...\n");
  run = Run("-k");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.output, "\nPlaceforge V4.2.0.0\n\nCalling sequence:\n Placeforge [-k] ConfigurationFile\n");
}

TEST_F(Placeforge, AMissingConfigurationFileGivesResultOne) {
  const ProgramRun run = Run("-q missing.txt");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("Processing configuration File:\nmissing.txt\n"), std::string::npos);
  EXPECT_NE(run.output.find("### Can't open file 'missing.txt' for read. Reason: No such file or directory. ###\n"),
            std::string::npos);
  EXPECT_NE(run.output.find("\n### Conversion was not done. See logfile. ###\n"), std::string::npos);
  EXPECT_EQ(run.output.find("Log file was written to"), std::string::npos);
}

TEST_F(Placeforge, TheLastFileArgumentIsUsedAndWaitConfirmOverridesTheCommandLine) {
  WriteFile(dir_ / "first.txt", "WaitConfirm = 0\n");
  WriteFile(dir_ / "second.txt", "WaitConfirm = 1\n");
  const ProgramRun run = Run("first.txt -k second.txt");
  EXPECT_EQ(run.status, 3);  // no subcategory
  EXPECT_NE(run.output.find("Processing configuration File:\nsecond.txt\n"), std::string::npos);
  EXPECT_NE(run.output.find("\nHit any key to continue...\n"), std::string::npos);
}

// Every file below a folder, by its path relative to that folder.
std::map<std::string, std::string> FilesBelow(const fs::path& root) {
  std::map<std::string, std::string> files;
  if (!fs::exists(root)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files[fs::relative(entry.path(), root).string()] = ReadFile(entry.path());
  }
  return files;
}

// Where two byte strings first differ, with the bytes around it in hex, for a readable failure.
std::string FirstDifference(const std::string& actual, const std::string& expected) {
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  auto hex = [&](const std::string& bytes) {
    std::string text;
    char digits[4];
    for (size_t i = at; i < bytes.size() && i < at + 16; ++i) {
      std::snprintf(digits, sizeof digits, "%02X ", static_cast<unsigned char>(bytes[i]));
      text += digits;
    }
    return text;
  };
  return "sizes " + std::to_string(actual.size()) + " / " + std::to_string(expected.size()) + ", first difference at " +
         std::to_string(at) + ": " + hex(actual) + "/ " + hex(expected);
}

struct GoldenCase {
  const char* name;       // folder under testdata/golden
  const char* target;     // TargetSystem value
  const char* extraKeys;  // lines appended to the configuration
};

class PlaceforgeGolden : public Placeforge, public ::testing::WithParamInterface<GoldenCase> {};

// The sample converted for each target; every produced file and the console text (which is the
// log when no LogFile is set, else the log file is compared too) equal the reviewed golden copies.
// DW_UPDATE_GOLDEN=1 writes the golden copies anew after a deliberate change.
TEST_P(PlaceforgeGolden, SampleConversionMatchesGoldenFiles) {
  const GoldenCase& c = GetParam();
  CopySample(c.target);
  WriteFile(dir_ / "placeforge.txt", ReadFile(dir_ / "placeforge.txt") + c.extraKeys);
  const ProgramRun run = Run("placeforge.txt");
  ASSERT_EQ(run.status, 0) << run.output;

  std::map<std::string, std::string> actual = FilesBelow(dir_ / "output");
  actual["console.txt"] = run.output;
  if (fs::exists(dir_ / "placeforge.log")) actual["placeforge.log"] = ReadFile(dir_ / "placeforge.log");
  const fs::path golden = fs::path(GOLDEN_DIR) / c.name;
  if (std::getenv("DW_UPDATE_GOLDEN") != nullptr) {
    fs::remove_all(golden);
    for (const auto& [path, bytes] : actual) {
      fs::create_directories((golden / path).parent_path());
      WriteFile(golden / path, bytes);
    }
  }
  const std::map<std::string, std::string> expected = FilesBelow(golden);
  ASSERT_FALSE(expected.empty()) << "no golden files in " << golden;
  for (const auto& [path, bytes] : expected) {
    ASSERT_TRUE(actual.count(path)) << path << " was not written";
    EXPECT_TRUE(actual[path] == bytes) << path << ": " << FirstDifference(actual[path], bytes);
  }
  EXPECT_EQ(actual.size(), expected.size()) << "more files than the golden copy holds";
}

INSTANTIATE_TEST_SUITE_P(
    Targets, PlaceforgeGolden,
    ::testing::Values(GoldenCase{"navigon_oem", "NavigonOEM", ""},
                      GoldenCase{"map_and_guide_csv", "MapAndGuideCSV", ""},
                      GoldenCase{"destinator_csv", "DestinatorCSV", ""}, GoldenCase{"snt_only", "SNTOnly", ""},
                      GoldenCase{"navigon_oem_logged", "NavigonOEM", "LogFile = placeforge.log\nLogLevel = All\n"}),
    [](const ::testing::TestParamInfo<GoldenCase>& param) { return std::string(param.param.name); });

TEST_F(Placeforge, SntOnlyCreatesNoDestinationFolder) {
  CopySample("SNTOnly");
  const ProgramRun run = Run("placeforge.txt");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_FALSE(fs::exists(dir_ / "output" / "navigation"));
  EXPECT_EQ(run.output.find("converted to directory"), std::string::npos);
  EXPECT_NE(run.output.find("\n45 POIs to watch converted to file:\noutput\\Sentry.snt\n"), std::string::npos);
}

TEST_F(Placeforge, WithoutSoundsTheDatabaseIsLeftOutAndTheRunSucceeds) {
  CopySample("SNTOnly");
  std::string config = std::regex_replace(ReadFile(dir_ / "placeforge.txt"), std::regex("WAVFile = [^\n]*"), "");
  WriteFile(dir_ / "placeforge.txt", config);
  const ProgramRun run = Run("placeforge.txt");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("\n0 POIs to watch converted to file:\noutput\\Sentry.snt\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "output" / "Sentry.snt"));
}

TEST_F(Placeforge, BadLinesAndColoursAreCountedInTheSummary) {
  CopySample("SNTOnly");
  WriteFile(dir_ / "placeforge.txt",
            ReadFile(dir_ / "placeforge.txt") + "SubGroup = Broken\nASCFile = broken.asc\nFontColour = Pink\n");
  WriteFile(dir_ / "broken.asc", "1,2\nx, 5, \"a\"\n");
  const ProgramRun run = Run("placeforge.txt");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("# Can't decode the colour 'Pink', Black is used instead. #\n"), std::string::npos);
  EXPECT_NE(run.output.find("\n## Conversion detected 1 configuration file erros. See logfile. ##\n"),
            std::string::npos);
  EXPECT_NE(run.output.find("\n## Conversion detected 2 bad POIs. See logfile. ##\n"), std::string::npos);
}

TEST_F(Placeforge, AFolderThatCannotBeCreatedGivesResultTwo) {
  CopySample("NavigonOEM");
  WriteFile(dir_ / "blocker", "a file where a folder should go");
  WriteFile(dir_ / "placeforge.txt",
            std::regex_replace(ReadFile(dir_ / "placeforge.txt"), std::regex("output\\\\navigation"), "blocker\\sub"));
  const ProgramRun run = Run("placeforge.txt");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("### Can't create the directory 'blocker\\sub\\'. ###\n"), std::string::npos) << run.output;
}

TEST_F(Placeforge, ALogFileThatCannotBeCreatedGivesResultTwo) {
  WriteFile(dir_ / "config.txt", "LogFile = missing/folder/log.txt\nSubGroup = A\n");
  const ProgramRun run = Run("-k config.txt");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("### Can't open the logfile 'missing/folder/log.txt'. ###\n"), std::string::npos);
  EXPECT_EQ(run.output.find("Log file was written to"), std::string::npos);
}

}  // namespace
