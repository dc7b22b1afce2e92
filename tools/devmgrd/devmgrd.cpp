// devmgrd: the device manager daemon of the current system root ($DW_SYSTEM_ROOT). It hosts the
// stream drivers that clients activate and serves every open of their devices.

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <iostream>
#include <string>

#include "platform/devmgr_host/daemon.h"
#include "platform/devmgr_protocol/protocol.h"
#include "platform/paths/paths.h"

namespace {

constexpr char kUsage[] =
    "usage: devmgrd [--background]\n"
    "Hosts the stream drivers of the system root and serves their devices on <root>/run/devmgr.sock.\n"
    "  --background  detach, log to <root>/run/devmgrd.log, and return once the daemon listens\n"
    "Stops on 'devmgr stop', SIGTERM or SIGINT, or when its socket file is removed.\n";

// The child of a detached start: no terminal, no inherited output pipes (a test runner would wait
// for them to close), its log in the run folder.
void DetachFromCaller() {
  setsid();
  const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (null >= 0) dup2(null, STDIN_FILENO);
  const std::string logPath = platform::JoinPath(platform::devmgr::RunFolder(), "devmgrd.log");
  platform::CreateFolders(platform::devmgr::RunFolder());
  const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  const int target = log >= 0 ? log : null;
  if (target >= 0) {
    dup2(target, STDOUT_FILENO);
    dup2(target, STDERR_FILENO);
  }
}

// The caller's half of a detached start: waits for the daemon's word on `fd`: its exit code as
// one digit, then the reason.
int WaitForDaemon(int fd) {
  std::string word;
  char chunk[256];
  for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;) word.append(chunk, static_cast<size_t>(n));
  if (word.empty()) {
    std::cerr << "devmgrd: the daemon ended before it was ready\n";
    return platform::kDaemonCannotStart;
  }
  if (word.size() > 1) std::cerr << "devmgrd: " << word.substr(1) << "\n";
  return word[0] - '0';
}

int RunInBackground() {
  close_range(3, ~0u, 0);  // descriptors the caller let us inherit are not ours to hold
  int word[2];
  if (pipe2(word, O_CLOEXEC) != 0) {
    std::cerr << "devmgrd: cannot make a pipe: " << strerror(errno) << "\n";
    return platform::kDaemonCannotStart;
  }
  const pid_t child = fork();
  if (child < 0) {
    std::cerr << "devmgrd: cannot fork: " << strerror(errno) << "\n";
    return platform::kDaemonCannotStart;
  }
  if (child > 0) {
    close(word[1]);
    return WaitForDaemon(word[0]);
  }
  close(word[0]);
  DetachFromCaller();
  return platform::RunDeviceManager(std::cerr, [fd = word[1]](int code, const std::string& why) {
    const std::string text = std::to_string(code) + why;
    [[maybe_unused]] ssize_t ignored = write(fd, text.data(), text.size());
    close(fd);
  });
}

}  // namespace

int main(int argc, char** argv) {
  const std::string option = argc > 1 ? argv[1] : "";
  if (option == "--help") {
    std::cout << kUsage;
    return 0;
  }
  if (argc > 2 || (!option.empty() && option != "--background")) {
    std::cerr << kUsage;
    return 1;
  }
  if (option == "--background") return RunInBackground();
  return platform::RunDeviceManager(std::cerr, [](int code, const std::string& why) {
    if (code != platform::kDaemonStopped) std::cerr << "devmgrd: " << why << "\n";
  });
}
