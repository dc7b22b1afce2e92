#pragma once
// Reports of programs under test.

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/reports/reporter.h"

namespace platform {

// Answers questions from a queue and records every text it is given, so a test can script the
// user's choices and check each message. Safe to use from the threads of the code under test.
class ScriptedReporter final : public Reporter {
 public:
  struct Record {
    Severity severity;
    std::string text;
    bool question;
    bool answer;  // what a question was answered; false for a plain message

    bool operator==(const Record&) const = default;
  };

  // `defaultAnswer` answers the questions asked after the queue has run dry.
  explicit ScriptedReporter(bool defaultAnswer = false);

  void QueueAnswer(bool answer);
  std::vector<Record> Records() const;

 protected:
  void Show(Severity severity, std::string_view text) override;
  bool Ask(Severity severity, std::string_view text) override;

 private:
  const bool defaultAnswer_;
  mutable std::mutex mutex_;
  std::deque<bool> answers_;
  std::vector<Record> records_;
};

}  // namespace platform
