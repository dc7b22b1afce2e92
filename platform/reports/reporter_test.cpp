#include "platform/reports/reporter.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include <cstdlib>
#include <ostream>
#include <string>

#include "platform/errors/errors.h"
#include "platform/reports/console_reporter.h"
#include "platform/reports/scripted_reporter.h"

namespace platform {

void PrintTo(const ScriptedReporter::Record& r, std::ostream* os) {
  *os << "{severity " << static_cast<int>(r.severity) << ", \"" << r.text << "\", question " << r.question
      << ", answer " << r.answer << "}";
}

namespace {

using Record = ScriptedReporter::Record;

constexpr const char* kFileNotFound = "Error No 2: The system cannot find the file specified.";

TEST(ErrorForms, EachFormComposesItsText) {
  ScriptedReporter reporter;
  reporter.ErrorCode(2, "Can't open %s\n", "x");
  SetLastError(kErrorAccessDenied);
  reporter.ErrorLastError("Can't write %s\n", "log.txt");
  SetLastError(kErrorFileNotFound);
  reporter.ErrorContinue("Sound %d missing\n", 3);
  reporter.Error("Invalid speed %d", 300);
  EXPECT_EQ(reporter.Records(),
            (std::vector<Record>{
                {Severity::kError, std::string("Can't open x\n") + kFileNotFound, false, false},
                {Severity::kError, "Can't write log.txt\nError No 5: Access is denied.", false, false},
                {Severity::kError, std::string("Sound 3 missing\n") + kFileNotFound + "\nContinue?", true, false},
                {Severity::kError, "Invalid speed 300", false, false},
            }));
}

TEST(Questions, AnswersAreTakenInOrderThenTheDefault) {
  ScriptedReporter reporter(true);
  reporter.QueueAnswer(false);
  reporter.QueueAnswer(true);
  reporter.QueueAnswer(false);
  EXPECT_FALSE(reporter.AskYesNo("Delete %s?", "a"));
  EXPECT_TRUE(reporter.ErrorContinue("b"));
  EXPECT_FALSE(reporter.AskYesNo("c"));
  EXPECT_TRUE(reporter.AskYesNo("d"));
  const auto records = reporter.Records();
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0], (Record{Severity::kQuestion, "Delete a?", true, false}));
  EXPECT_EQ(records[1].severity, Severity::kError);
  EXPECT_TRUE(records[3].answer);
}

TEST(Messages, InformAndWarnCarryTheirIcon) {
  ScriptedReporter reporter;
  reporter.Inform("%d POIs loaded", 7);
  reporter.Warn("low %s", "battery");
  EXPECT_EQ(reporter.Records(), (std::vector<Record>{
                                    {Severity::kInformation, "7 POIs loaded", false, false},
                                    {Severity::kWarning, "low battery", false, false},
                                }));
}

TEST(MessageBuffer, KeepsAtMost519Bytes) {
  EXPECT_EQ(FormatMessage520("%s", std::string(519, 'a').c_str()), std::string(519, 'a'));
  EXPECT_EQ(FormatMessage520("%s%d", std::string(517, 'a').c_str(), 123), std::string(517, 'a') + "12");
  EXPECT_EQ(FormatMessage520("%s", std::string(5000, 'a').c_str()).size(), 519u);
}

TEST(MessageBuffer, CutDropsAWholeCharacter) {
  const std::string euro = "\u20AC";  // three bytes
  EXPECT_EQ(FormatMessage520("%s%s", std::string(516, 'a').c_str(), euro.c_str()), std::string(516, 'a') + euro);
  EXPECT_EQ(FormatMessage520("%s%s", std::string(517, 'a').c_str(), euro.c_str()), std::string(517, 'a'));
  EXPECT_EQ(FormatMessage520("%s%s", std::string(518, 'a').c_str(), euro.c_str()), std::string(518, 'a'));
}

TEST(MessageBuffer, ALongMessageKeepsItsErrorNumber) {
  ScriptedReporter reporter;
  reporter.ErrorCode(2, "%s", std::string(600, 'm').c_str());
  EXPECT_EQ(reporter.Records().at(0).text, std::string(519, 'm') + kFileNotFound);
}

// Everything a ConsoleReporter writes, read back from a memory stream.
class ConsoleCapture {
 public:
  ConsoleCapture() : stream_(open_memstream(&data_, &size_)) {}
  ~ConsoleCapture() {
    std::fclose(stream_);
    std::free(data_);
  }
  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;

  FILE* Stream() { return stream_; }
  std::string Text() {
    std::fflush(stream_);
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
  FILE* stream_;
};

TEST(Console, WritesOneLinePerTextWithItsPrefixAndTheDefaultAnswer) {
  ConsoleCapture capture;
  ASSERT_NE(capture.Stream(), nullptr);
  ConsoleReporter yes(true, capture.Stream());
  yes.ErrorCode(2, "Can't open %s\n", "x");
  EXPECT_TRUE(yes.AskYesNo("Overwrite?\n"));
  ConsoleReporter no(false, capture.Stream());
  SetLastError(kErrorFileNotFound);
  EXPECT_FALSE(no.ErrorContinue("Bad line %d\n", 4));
  no.Inform("Done\n\n");
  EXPECT_EQ(capture.Text(), std::string("Error: Can't open x\n") + kFileNotFound + "\n" +
                                "Question: Overwrite? [Yes/No] Yes\n" +
                                "Error: Bad line 4\nError No 2: The system cannot find the file "
                                "specified.\nContinue? [Yes/No] No\n" +
                                "Information: Done\n");
}

TEST(Console, NamesFromOutsideCannotSendControlsToTheTerminal) {
  ConsoleCapture capture;
  ConsoleReporter console(false, capture.Stream());
  console.Error("Bad line:\n%s\n", "\x1B]0;owned\x07 \xFC\tx");
  EXPECT_EQ(capture.Text(), "Error: Bad line:\n\\x1B]0;owned\\x07 \\xFC\\x09x\n");
}

}  // namespace
}  // namespace platform
