#pragma once
// What tests ask of a scripted reporter's records.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/reports/scripted_reporter.h"

namespace platform::testing {

// The texts of all records, in order.
std::vector<std::string> Texts(const ScriptedReporter& reporter);

// Success when the reporter holds exactly one record and its text starts with `prefix`; the
// failure shows every text.
::testing::AssertionResult OneRecordStartingWith(const ScriptedReporter& reporter, std::string_view prefix);

}  // namespace platform::testing
