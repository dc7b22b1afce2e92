#include "platform/testing/reports.h"

namespace platform::testing {

std::vector<std::string> Texts(const ScriptedReporter& reporter) {
  std::vector<std::string> texts;
  for (const ScriptedReporter::Record& record : reporter.Records()) texts.push_back(record.text);
  return texts;
}

::testing::AssertionResult OneRecordStartingWith(const ScriptedReporter& reporter, std::string_view prefix) {
  const std::vector<std::string> texts = Texts(reporter);
  if (texts.size() == 1 && texts[0].starts_with(prefix)) return ::testing::AssertionSuccess();
  ::testing::AssertionResult failure = ::testing::AssertionFailure();
  failure << "wanted one record starting with \"" << prefix << "\", got " << texts.size() << ":";
  for (const std::string& text : texts) failure << "\n  \"" << text << "\"";
  return failure;
}

}  // namespace platform::testing
