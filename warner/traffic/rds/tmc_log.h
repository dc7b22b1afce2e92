#pragma once
// The traffic log: one line per completed message, appended to a file that is opened and closed
// for every line.

#include <string>
#include <string_view>

#include "warner/traffic/rds/rds_state.h"

namespace traffic {

enum class LogAppendResult {
  kAppended,
  kForeign,  // the file held something else; it has been emptied and nothing was written
  kFailed,   // not opened, not emptied or not written; the last error says why
};

// A file whose first 260 bytes lack any of "{ L ", ", E " and ", R " is no traffic log.
LogAppendResult AppendTrafficLogLine(const std::string& path, std::string_view line);

// "dd.mm.yyyy hh:mm:ss, STATION_: text\r\n" with the message's time and station.
std::string TrafficLogLine(const TmcMessage& message);

}  // namespace traffic
