#include "platform/testing/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>

namespace platform::testing {

namespace {
using Clock = std::chrono::steady_clock;
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::filesystem::path& errorFile) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return;
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    if (!errorFile.empty()) {
      const int err = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(err, STDERR_FILENO);
    }
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  out_ = out[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && status_ < 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (out_ >= 0) ::close(out_);
}

const std::string& ChildProcess::ReadUntil(size_t size, int ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  char buffer[4096];
  while (!ended_ && output.size() < size && Clock::now() < deadline) {
    pollfd entry{out_, POLLIN, 0};
    if (::poll(&entry, 1, 10) <= 0) continue;
    const ssize_t n = ::read(out_, buffer, sizeof buffer);
    if (n <= 0) {
      ended_ = true;
      break;
    }
    output.append(buffer, static_cast<size_t>(n));
  }
  return output;
}

bool ChildProcess::WaitForText(std::string_view text, int ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (output.find(text) == std::string::npos && !ended_ && Clock::now() < deadline) {
    ReadUntil(output.size() + 1, 50);
  }
  return output.find(text) != std::string::npos;
}

void ChildProcess::Signal(int number) const { ::kill(pid_, number); }

int ChildProcess::Finish(int ms) {
  if (status_ >= 0 || pid_ <= 0) return status_;
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  ReadUntil(SIZE_MAX, ms);
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      pid_ = -1;
      return status_ = -1;
    }
    ::usleep(5000);
  }
  pid_ = -1;
  return status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace platform::testing
