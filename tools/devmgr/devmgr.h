#pragma once
// devmgr: the device manager from the command line.

#include <ostream>
#include <string>
#include <vector>

namespace tools {

// Runs devmgr with its arguments (without the program name); returns the exit code: 0 done,
// 1 command line, 2 the device manager refused or failed.
int RunDevmgr(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tools
