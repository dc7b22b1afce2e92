#pragma once
// dwreg: lists, reads, writes and deletes registry keys and values from the command line, for
// users who set up a port map or a driver key by hand and for scripts and tests.

#include <ostream>
#include <string>
#include <vector>

namespace tools {

// Runs one command line (without the program name); output to `out`, messages to `err`.
// Returns the exit code: 0 done, 1 the registry refused (missing key, locked hive...), 2 usage.
int RunDwreg(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tools
