#include "platform/process/process.h"

#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>  // environ

#include <cerrno>
#include <thread>

#include "platform/errors/errors.h"

namespace platform {

namespace {

constexpr char kExeEnding[] = ".exe";
constexpr size_t kExeEndingLength = sizeof kExeEnding - 1;

std::vector<std::string> CandidateNames(const std::string& program) {
  std::vector<std::string> names{program};
  if (program.size() > kExeEndingLength &&
      strcasecmp(program.c_str() + program.size() - kExeEndingLength, kExeEnding) == 0) {
    names.push_back(program.substr(0, program.size() - kExeEndingLength));
  }
  return names;
}

// Returns 0 or the errno value of the failed start.
int Spawn(const std::string& name, const std::vector<std::string>& args, pid_t& pid) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(name.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return posix_spawnp(&pid, name.c_str(), nullptr, nullptr, argv.data(), environ);
}

// Blocks until the child ends; -1 when it could not be waited for.
int WaitForExit(pid_t pid) {
  int status = 0;
  pid_t result;
  do {
    result = waitpid(pid, &status, 0);
  } while (result < 0 && errno == EINTR);
  if (result < 0) return -1;
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

}  // namespace

ProcessResult StartProcess(const std::string& program, const std::vector<std::string>& args, bool wait) {
  ProcessResult result;
  int error = ENOENT;
  for (const auto& name : CandidateNames(program)) {
    error = Spawn(name, args, result.pid);
    if (error == 0) break;
  }
  if (error != 0) {
    SetLastErrorFromErrno(error);
    return result;
  }
  if (!wait) {
    std::thread([pid = result.pid] { WaitForExit(pid); }).detach();
    result.ok = true;
    return result;
  }
  result.exitCode = WaitForExit(result.pid);
  result.ok = result.exitCode >= 0;
  if (!result.ok) SetLastErrorFromErrno(errno);
  return result;
}

}  // namespace platform
