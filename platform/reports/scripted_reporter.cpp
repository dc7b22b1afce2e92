#include "scripted_reporter.h"

namespace platform {

ScriptedReporter::ScriptedReporter(bool defaultAnswer) : defaultAnswer_(defaultAnswer) {}

void ScriptedReporter::QueueAnswer(bool answer) {
  const std::lock_guard lock(mutex_);
  answers_.push_back(answer);
}

std::vector<ScriptedReporter::Record> ScriptedReporter::Records() const {
  const std::lock_guard lock(mutex_);
  return records_;
}

void ScriptedReporter::Show(Severity severity, std::string_view text) {
  const std::lock_guard lock(mutex_);
  records_.push_back({severity, std::string(text), false, false});
}

bool ScriptedReporter::Ask(Severity severity, std::string_view text) {
  const std::lock_guard lock(mutex_);
  bool answer = defaultAnswer_;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  records_.push_back({severity, std::string(text), true, answer});
  return answer;
}

}  // namespace platform
