// The placeforge program end to end: its command line, console texts and exit codes, and whole
// conversions of the sample data for each target with every produced file checked.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

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

  // Runs the program in the test folder with input from /dev/null, as a script would; `shell` may
  // set limits first.
  ProgramRun Run(const std::string& args, const std::string& shell = "") {
    const std::string command =
        "cd '" + dir_.string() + "' && " + shell + "'" + PLACEFORGE_PATH + "' " + args + " </dev/null 2>&1";
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
  // Without a log file the reason stands on the console: no log to point to.
  EXPECT_NE(run.output.find("\n### Conversion was not done. ###\n"), std::string::npos);
  EXPECT_EQ(run.output.find("Log file was written to"), std::string::npos);
}

TEST_F(Placeforge, AConfigurationWithoutSubGroupSaysSo) {
  struct Case {
    const char* config;
    const char* console;  // the line that ends the console text
  };
  const Case cases[] = {
      {"", "\n### Conversion was not done. ###\n"},
      {"MainGroup = Cams\nASCFile = a.asc\n", "\n### Conversion was not done. ###\n"},
      {"LogFile = run.log\n", "\n### Conversion was not done. See logfile. ###\n\nLog file was written to:\nrun.log\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.config);
    WriteFile(dir_ / "config.txt", c.config);
    const ProgramRun run = Run("-k config.txt");
    EXPECT_EQ(run.status, 3);
    const std::string log = fs::exists(dir_ / "run.log") ? ReadFile(dir_ / "run.log") : run.output;
    EXPECT_NE(log.find("### No SubGroup in the configuration file 'config.txt': nothing to convert. ###\n"),
              std::string::npos)
        << log;
    EXPECT_TRUE(run.output.ends_with(c.console)) << run.output;
  }
}

TEST_F(Placeforge, ALogThatCannotBeWrittenWholeFailsTheRun) {
  CopySample("SNTOnly");
  WriteFile(dir_ / "placeforge.txt", ReadFile(dir_ / "placeforge.txt") + "LogFile = /dev/full\n");
  const ProgramRun run = Run("placeforge.txt");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("### Can't write to the logfile '/dev/full'. Reason: No space left on device. ###\n"),
            std::string::npos)
      << run.output;
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

struct FailureCase {
  const char* name;
  void (*prepare)(const fs::path& dir);
  const char* shell;    // run before the program
  const char* message;  // the failure as the console shows it
};

class PlaceforgeFailure : public Placeforge, public ::testing::WithParamInterface<FailureCase> {};

// A conversion that fails, wherever it fails, leaves the outputs of the run before byte for byte,
// and no temporary beside them.
TEST_P(PlaceforgeFailure, LeavesThePreviousOutputs) {
  const FailureCase& c = GetParam();
  CopySample("NavigonOEM");
  ASSERT_EQ(Run("placeforge.txt").status, 0);
  const std::map<std::string, std::string> before = FilesBelow(dir_ / "output");
  // Different POIs, so that a new file would differ from the old one.
  WriteFile(dir_ / "poi" / "my_places.asc", "1.5, 2.5, \"Elsewhere\"\n");
  c.prepare(dir_);
  const ProgramRun run = Run("placeforge.txt", c.shell);
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
  EXPECT_TRUE(FilesBelow(dir_ / "output") == before);
  EXPECT_EQ(FilesBelow(dir_ / "output").size(), before.size());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, PlaceforgeFailure,
    ::testing::Values(
        FailureCase{"MissingBitmap", [](const fs::path& dir) { fs::remove(dir / "bitmaps" / "Danger.bmp"); }, "",
                    "### Can't open file 'bitmaps\\Danger.bmp' for read. Reason: No such file or directory. ###\n"},
        // Root may write anything: the read-only attribute is the missing write permission bits.
        FailureCase{"ReadOnlyDatabase",
                    [](const fs::path& dir) {
                      fs::permissions(dir / "output" / "Sentry.snt", fs::perms::owner_read | fs::perms::group_read);
                    },
                    "", "### Can't open file 'output\\Sentry.snt' for write. Reason: Permission denied. ###\n"},
        // A file size limit of 2048 bytes fails a write in the middle of the run, as a full disk
        // would: the first file fits, the second does not.
        FailureCase{"WriteFailsInTheMiddle", [](const fs::path&) {}, "trap '' XFSZ && ulimit -f 4 && ",
                    "### Can't write to file 'output\\navigation\\SampleRoads.dat'. Reason: File too large. ###\n"}),
    [](const ::testing::TestParamInfo<FailureCase>& param) { return std::string(param.param.name); });

// SIGTERM while the files are written: the temporaries go, the old files stay.
TEST_F(Placeforge, AConversionStoppedBySigtermLeavesThePreviousOutputs) {
  CopySample("NavigonOEM");
  ASSERT_EQ(Run("placeforge.txt").status, 0);
  const std::map<std::string, std::string> before = FilesBelow(dir_ / "output");
  {
    // Enough POIs to keep the writers busy for a while.
    std::ofstream list(dir_ / "poi" / "my_places.asc", std::ios::binary);
    for (int i = 0; i < 1000000; ++i)
      list << (i % 3600) * 0.1 << ", " << (i % 1700) * 0.1 << ", \"Place " << i << "\"\n";
  }
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::chdir(dir_.c_str()) == 0 && std::freopen("/dev/null", "w", stdout) != nullptr) {
      ::execl(PLACEFORGE_PATH, PLACEFORGE_PATH, "-k", "placeforge.txt", static_cast<char*>(nullptr));
    }
    ::_exit(127);
  }
  // A temporary beside the files, or a file that has changed already.
  auto writing = [&] {
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(dir_ / "output", error)) {
      const auto old = before.find(fs::relative(entry.path(), dir_ / "output").string());
      if (entry.is_regular_file(error) && (old == before.end() || old->second.size() != entry.file_size(error))) {
        return true;
      }
    }
    return false;
  };
  int status = 0;
  bool seen = false;
  while (!(seen = writing()) && ::waitpid(child, &status, WNOHANG) == 0) ::usleep(200);
  ASSERT_TRUE(seen) << "the run ended before it wrote a file";
  ::kill(child, SIGTERM);
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGTERM) << status;
  EXPECT_TRUE(FilesBelow(dir_ / "output") == before);
  EXPECT_EQ(FilesBelow(dir_ / "output").size(), before.size());
}

// What Linux editors write: the paths are the ones the file shows, and so is the console.
TEST_F(Placeforge, AUtf8ConfigurationNamesItsPathsAsWritten) {
  CopySample("SNTOnly");
  WriteFile(dir_ / "placeforge.txt",
            std::regex_replace(ReadFile(dir_ / "placeforge.txt"), std::regex("WaypostPath = [^\n]*"),
                               "WaypostPath = nav \xC3\xBC/Sentry.snt"));
  const ProgramRun run = Run("placeforge.txt");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(fs::exists(dir_ / "nav \xC3\xBC" / "Sentry.snt"));
  EXPECT_NE(run.output.find("converted to file:\nnav \xC3\xBC/Sentry.snt\n"), std::string::npos) << run.output;
}

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
  EXPECT_NE(run.output.find("\n## Conversion detected 1 configuration file erros. ##\n"), std::string::npos);
  EXPECT_NE(run.output.find("\n## Conversion detected 2 bad POIs. ##\n"), std::string::npos);
}

TEST_F(Placeforge, AFolderThatCannotBeCreatedGivesResultTwo) {
  CopySample("NavigonOEM");
  WriteFile(dir_ / "blocker", "a file where a folder should go");
  WriteFile(dir_ / "placeforge.txt",
            std::regex_replace(ReadFile(dir_ / "placeforge.txt"), std::regex("output\\\\navigation"), "blocker\\sub"));
  const ProgramRun run = Run("placeforge.txt");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("### Can't create the directory 'blocker\\sub\\'. Reason: The system cannot find the path "
                            "specified. ###\n"),
            std::string::npos)
      << run.output;
}

TEST_F(Placeforge, ALogFileThatCannotBeCreatedGivesResultTwo) {
  WriteFile(dir_ / "config.txt", "LogFile = missing/folder/log.txt\nSubGroup = A\n");
  const ProgramRun run = Run("-k config.txt");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(
      run.output.find("### Can't open the logfile 'missing/folder/log.txt'. Reason: No such file or directory. ###\n"),
      std::string::npos);
  EXPECT_EQ(run.output.find("Log file was written to"), std::string::npos);
}

}  // namespace
