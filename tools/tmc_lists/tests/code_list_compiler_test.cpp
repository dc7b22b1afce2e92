#include "tools/tmc_lists/code_list_compiler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "platform/bytes/little_endian.h"
#include "platform/reports/scripted_reporter.h"
#include "platform/testing/temp_folder.h"
#include "warner/traffic/code_lists/code_lists.h"

namespace tmc_lists {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using Bytes = std::vector<uint8_t>;
constexpr CodeListKind kEvents = CodeListKind::kEvents;
constexpr CodeListKind kLocations = CodeListKind::kLocations;

std::string ReadText(const std::string& path) {
  std::string text;
  std::string error;
  EXPECT_TRUE(ReadFileBytes(path, text, error)) << error;
  return text;
}

// The records of a text list as the canonical form writes them: no comments, no blank lines.
std::string RecordLines(const std::string& text) {
  std::istringstream in(text);
  std::string result;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != '#') result += line + '\n';
  }
  return result;
}

Bytes Compile(CodeListKind kind, const std::string& text) {
  Bytes file;
  std::string error;
  EXPECT_TRUE(CompileCodeList(kind, text, file, error)) << error;
  return file;
}

std::string Decompile(CodeListKind kind, const Bytes& file) {
  std::string text;
  std::string error;
  EXPECT_TRUE(DecompileCodeList(kind, file, text, error)) << error;
  return text;
}

std::string CompileError(CodeListKind kind, const std::string& text) {
  Bytes file;
  std::string error;
  EXPECT_FALSE(CompileCodeList(kind, text, file, error, "list.txt")) << text;
  return error;
}

TEST(CodeListCompiler, SampleListsRoundTrip) {
  for (const auto& [kind, name] : {std::pair{kEvents, "events.txt"}, std::pair{kLocations, "locations.txt"}}) {
    const std::string source = ReadText(std::string(TRAFFIC_SOURCE_DIR) + "/" + name);
    const Bytes file = Compile(kind, source);
    const std::string text = Decompile(kind, file);
    EXPECT_EQ(RecordLines(text), RecordLines(source)) << name;  // the samples are written canonically
    EXPECT_THAT(text, StartsWith("# code;text"));
    EXPECT_EQ(Compile(kind, text), file) << name;
  }
}

TEST(CodeListCompiler, LaxInputBecomesCanonical) {
  const std::string lax =
      "\xEF\xBB\xBF# a comment\r\n"
      "\r\n"
      "   # an indented comment\n"
      "  12; Caf\xC3\xA9 at  0 \xC2\xB0"
      "C ;\t2 ; \xE2\x82\xAC\r\n"
      "7;seven;1;";  // the last line without its line end
  EXPECT_EQ(RecordLines(Decompile(kEvents, Compile(kEvents, lax))),
            "7;seven;1;\n12;Caf\xC3\xA9 at  0 \xC2\xB0"
            "C;2;\xE2\x82\xAC\n");
  EXPECT_EQ(RecordLines(Decompile(kLocations, Compile(kLocations, "5;;;Nowhere;;;;\n"))), "5;;;Nowhere;0;0;0;0\n");
  EXPECT_EQ(Decompile(kEvents, Compile(kEvents, "")), "# code;text;directionality;short text\n");
}

TEST(CodeListCompiler, EveryMistakeIsNamedWithItsLine) {
  const std::string longest(245, 'x');
  Compile(kEvents, "1;" + longest + ";1;" + std::string(16, 's'));  // both texts just fit
  Compile(kLocations, "1;" + std::string(8, 'a') + ";" + std::string(40, 'b') + ";" + std::string(79, 'n') + ";;;;");

  struct Case {
    CodeListKind kind;
    std::string text;
    std::string error;
  };
  const std::vector<Case> cases = {
      {kEvents, "# head\n\n1;a;1;A\n2;b;1\n", "list.txt:4: expected 4 fields separated by ';', found 3"},
      {kEvents, "1;a;1;A;extra\n", "list.txt:1: expected 4 fields separated by ';', found 5"},
      {kLocations, "1;a;b;c;0;0;0\n", "list.txt:1: expected 8 fields separated by ';', found 7"},
      {kEvents, "0;a;1;A\n", "list.txt:1: the code '0' is not a number from 1 to 65535"},
      {kEvents, "65536;a;1;A\n", "the code '65536' is not a number from 1 to 65535"},
      {kEvents, ";a;1;A\n", "the code '' is not"},
      {kEvents, "x1;a;1;A\n", "the code 'x1' is not"},
      {kEvents, "1x;a;1;A\n", "the code '1x' is not"},
      {kEvents, "-1;a;1;A\n", "the code '-1' is not"},
      {kEvents, "+1;a;1;A\n", "the code '+1' is not"},
      {kEvents, "99999999999;a;1;A\n", "the code '99999999999' is not"},
      {kEvents, "1;a;1;A\n2;b;1;B\n1;c;2;C\n", "list.txt:3: the code 1 is already used on line 1"},
      {kEvents, "1;a;3;A\n", "the directionality '3' is neither 1 nor 2"},
      {kEvents, "1;a;;A\n", "the directionality '' is neither 1 nor 2"},
      {kEvents, "1;a;12;A\n", "the directionality '12' is neither 1 nor 2"},
      {kEvents, "1;" + longest + "x;1;A\n", "the text is 246 bytes long, at most 245 fit"},
      {kEvents, "1;a;1;" + std::string(17, 's') + "\n", "the short text is 17 bytes long, at most 16 fit"},
      {kLocations, "1;123456789;;n;;;;\n", "the text a is 9 bytes long, at most 8 fit"},
      {kLocations, "1;;" + std::string(41, 'b') + ";n;;;;\n", "the text b is 41 bytes long, at most 40 fit"},
      {kLocations, "1;;;" + std::string(80, 'n') + ";;;;\n", "the name is 80 bytes long, at most 79 fit"},
      {kEvents, "1;\xE6\x9D\xB1;1;A\n", "the text holds a character without a Windows-1252 code"},
      {kEvents, "1;a\xFF;1;A\n", "the text holds a character without a Windows-1252 code"},
      {kEvents, "1;a\tb;1;A\n", "the text holds a control character"},
      {kLocations, "1;;;n;x;;;\n", "the parent 'x' is not a number from 0 to 65535"},
      {kLocations, "1;;;n;;65536;;\n", "the negative '65536' is not a number from 0 to 65535"},
      {kLocations, "1;;;n;;;2 3;\n", "the positive '2 3' is not a number from 0 to 65535"},
      {kLocations, "1;;;n;;;;256\n", "the flag '256' is not a number from 0 to 255"},
  };
  for (const Case& c : cases) EXPECT_THAT(CompileError(c.kind, c.text), HasSubstr(c.error)) << c.text;
}

TEST(CodeListCompiler, DecompilingRefusesWhatItCannotWriteBack) {
  std::string error;
  std::string text;
  const Bytes events = Compile(kEvents, "3;three;1;T\n");
  EXPECT_FALSE(DecompileCodeList(kLocations, events, text, error));
  EXPECT_THAT(error, HasSubstr("not a location list"));
  EXPECT_FALSE(DecompileCodeList(kEvents, Bytes(events.begin(), events.begin() + 1000), text, error));

  Bytes damaged = events;
  const uint32_t offset = platform::GetLe32(damaged.data() + traffic::kIndexOffset + 12);
  damaged.pop_back();  // the record of 3 loses its last byte
  EXPECT_FALSE(DecompileCodeList(kEvents, damaged, text, error));
  EXPECT_EQ(error, "record of code 3: the record length is wrong");

  damaged = events;
  platform::PutLe32(damaged.data() + traffic::kIndexOffset + 16, offset);  // code 4 points at 3's record
  EXPECT_FALSE(DecompileCodeList(kEvents, damaged, text, error));
  EXPECT_EQ(error, "record of code 4: the record holds another code");

  damaged = events;
  platform::PutLe32(damaged.data() + traffic::kIndexOffset + 16, 100);
  EXPECT_FALSE(DecompileCodeList(kEvents, damaged, text, error));
  EXPECT_EQ(error, "record of code 4: the record offset lies outside the records");
}

class CompiledListTest : public ::testing::Test {
 protected:
  void TearDown() override { lists_.Close(); }
  std::string Path(const std::string& name) const { return temp_.File(name); }

  const platform::testing::TempFolder temp_{"dw_tmc_lists"};
  const std::string folder_{temp_.Path().string()};
  platform::ScriptedReporter reporter_;
  traffic::CodeLists lists_{reporter_};
};

std::string TextAt(const uint8_t* image, size_t offset) { return reinterpret_cast<const char*>(image + offset); }

TEST_F(CompiledListTest, LookupsFindEveryFieldInPlace) {
  std::string error;
  ASSERT_TRUE(WriteCodeListFile(kEvents,
                                "101;stationary traffic for (L);1;Q1\n507;below 0 \xC2\xB0"
                                "C;2;W7\n",
                                Path(traffic::kEventListName), error))
      << error;
  ASSERT_TRUE(WriteCodeListFile(kLocations, "12001;A99;Northtown - Southport;Millbrook;12000;11999;12002;1\n",
                                Path(traffic::kLocationListName), error))
      << error;
  ASSERT_EQ(lists_.OpenEventCodeList(folder_ + "/" + traffic::kEventListName), 0);
  ASSERT_EQ(lists_.OpenLocationCodeList(folder_ + "/" + traffic::kLocationListName), 0);

  uint8_t event[traffic::kEventImageSize];
  ASSERT_EQ(lists_.LookupEvent(101, event), 101);
  EXPECT_EQ(TextAt(event, 85), "stationary traffic for (L)");
  EXPECT_EQ(event[331], '1');
  EXPECT_EQ(TextAt(event, 334), "Q1");
  ASSERT_EQ(lists_.LookupEvent(507, event), 507);
  EXPECT_EQ(TextAt(event, 85),
            "below 0 \xB0"
            "C");  // Windows-1252 in the record
  EXPECT_EQ(event[331], '2');
  EXPECT_EQ(lists_.LookupEvent(102, event), -1);

  uint8_t location[traffic::kLocationImageSize];
  ASSERT_EQ(lists_.LookupLocation(12001, location), 12001);
  EXPECT_EQ(TextAt(location, 22), "A99");
  EXPECT_EQ(TextAt(location, 31), "Northtown - Southport");
  EXPECT_EQ(TextAt(location, 72), "Millbrook");
  EXPECT_EQ(platform::GetLe32(location + 154), 12000u);
  EXPECT_EQ(platform::GetLe32(location + 162), 11999u);
  EXPECT_EQ(platform::GetLe32(location + 166), 12002u);
  EXPECT_EQ(location[170], 1);
}

TEST_F(CompiledListTest, TheBuiltSampleListsWalkTheA99) {
  ASSERT_EQ(lists_.OpenEventCodeList(std::string(DW_TRAFFIC_DATA_DIR) + "/" + traffic::kEventListName), 0);
  ASSERT_EQ(lists_.OpenLocationCodeList(std::string(DW_TRAFFIC_DATA_DIR) + "/" + traffic::kLocationListName), 0);
  uint8_t event[traffic::kEventImageSize];
  EXPECT_EQ(lists_.LookupEvent(102, event), 102);
  EXPECT_EQ(TextAt(event, 85), "stationary traffic for (L)");

  uint8_t start[traffic::kLocationImageSize];
  uint8_t end[traffic::kLocationImageSize];
  ASSERT_EQ(lists_.LookupLocation(12003, start), 12003);
  EXPECT_EQ(lists_.WalkLocation(start, 0, 3, end), 12006);
  EXPECT_EQ(TextAt(end, 72), "Fernley");
  EXPECT_EQ(lists_.WalkLocation(start, 1, 2, end), 12001);
  EXPECT_EQ(lists_.WalkLocation(start, 1, 3, end), -1);
  EXPECT_EQ(TextAt(end, 72), "Unknown second location no 0.");
  ASSERT_EQ(lists_.LookupLocation(12000, start), 12000);
  EXPECT_EQ(TextAt(start, 72), "A99");
}

// The program itself: exit codes and messages, and a compile/decompile run through files.
class TmcListsProgramTest : public CompiledListTest {
 protected:
  int Run(const std::string& arguments) {
    const std::string command =
        std::string(TMC_LISTS_PATH) + " " + arguments + " >" + Path("out.txt") + " 2>" + Path("err.txt");
    const int status = std::system(command.c_str());
    out_ = ReadText(folder_ + "/out.txt");
    err_ = ReadText(folder_ + "/err.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string out_;
  std::string err_;
};

TEST_F(TmcListsProgramTest, CompilesAndDecompiles) {
  std::string error;
  ASSERT_TRUE(WriteFileBytes(Path("in.txt"), "# demo\n42 ; answer ; 2 ; X\n", error));
  EXPECT_EQ(Run("compile events " + folder_ + "/in.txt " + Path("list.bin")), 0) << err_;
  EXPECT_EQ(Run("decompile events " + folder_ + "/list.bin"), 0) << err_;
  EXPECT_EQ(out_, "# code;text;directionality;short text\n42;answer;2;X\n");
  EXPECT_EQ(Run("decompile events " + folder_ + "/list.bin " + Path("back.txt")), 0) << err_;
  EXPECT_EQ(ReadText(folder_ + "/back.txt"), "# code;text;directionality;short text\n42;answer;2;X\n");
}

TEST_F(TmcListsProgramTest, ExitCodesTellUsageFromFailure) {
  EXPECT_EQ(Run("--help"), 0);
  EXPECT_THAT(out_, HasSubstr("Usage: tmc-lists compile"));
  EXPECT_EQ(Run(""), 2);
  EXPECT_EQ(Run("compile roads a b"), 2);
  EXPECT_EQ(Run("compile events a"), 2);
  EXPECT_EQ(Run("translate events a b"), 2);
  EXPECT_THAT(err_, HasSubstr("unknown command"));

  std::string error;
  ASSERT_TRUE(WriteFileBytes(Path("bad.txt"), "1;a;3;A\n", error));
  EXPECT_EQ(Run("compile events " + folder_ + "/bad.txt " + Path("never.bin")), 1);
  EXPECT_EQ(err_, "tmc-lists: " + folder_ + "/bad.txt:1: the directionality '3' is neither 1 nor 2\n");
  EXPECT_EQ(access((folder_ + "/never.bin").c_str(), F_OK), -1);
  EXPECT_EQ(Run("decompile locations " + folder_ + "/missing.bin"), 1);
  EXPECT_THAT(err_, HasSubstr("missing.bin: No such file or directory"));
}

}  // namespace
}  // namespace tmc_lists
