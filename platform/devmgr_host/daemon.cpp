#include "platform/devmgr_host/daemon.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <list>
#include <thread>

#include "platform/devmgr_host/driver_host.h"
#include "platform/devmgr_protocol/protocol.h"
#include "platform/paths/paths.h"

namespace platform {

namespace {

// How often the accept loop looks after ended connections and its socket file when no client
// calls: rarely, since every wake-up of an idle daemon costs.
constexpr int kPollMs = 2000;

// The signal handlers' way into the accept loop; a process has one set of handlers.
std::atomic<int> gWakeFd{-1};

void OnStopSignal(int) {
  const char byte = 's';
  const int fd = gWakeFd.load();
  if (fd >= 0) {
    [[maybe_unused]] const ssize_t ignored = write(fd, &byte, 1);
  }
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

struct Connection {
  int fd;
  std::atomic<bool> done{false};
  std::thread thread;
  explicit Connection(int socket) : fd(socket) {}
};

class Daemon {
 public:
  explicit Daemon(std::ostream& log) : log_(log) {}

  int Run(const std::function<void(int, const std::string&)>& ready) {
    std::string why;
    const int code = Prepare(&why);
    if (code != kDaemonStopped) {
      ready(code, why);
      return code;
    }
    DriverHost host(DriverSearchFolders(), [this] { Wake(); });
    for (const auto& failure : host.StartUp()) log_ << "devmgrd: " << failure << std::endl;
    ready(kDaemonStopped, {});
    Serve(host);
    log_ << "devmgrd: stopping" << std::endl;
    for (auto& connection : connections_) shutdown(connection.fd, SHUT_RDWR);
    host.DeactivateAll();
    for (auto& connection : connections_) Finish(connection);
    if (SocketIsOurs()) unlink(socketPath_.c_str());
    gWakeFd = -1;
    return kDaemonStopped;
  }

 private:
  int Prepare(std::string* why) {
    const std::string run = devmgr::RunFolder();
    if (!CreateFolders(run)) return Fail(why, "cannot create " + run);
    const std::string lockPath = JoinPath(run, "devmgrd.lock");
    lock_ = std::make_unique<FileDescriptor>(open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (lock_->get() < 0) return Fail(why, "cannot open " + lockPath);
    if (flock(lock_->get(), LOCK_EX | LOCK_NB) != 0) {
      *why = "a device manager already runs for " + SystemRoot();
      return kDaemonAlreadyRuns;
    }
    const std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(lock_->get(), 0) != 0 || pwrite(lock_->get(), pid.data(), pid.size(), 0) < 0) {
      return Fail(why, "cannot write " + lockPath);
    }

    socketPath_ = devmgr::SocketPath();
    sockaddr_un address;
    if (!devmgr::SocketAddress(socketPath_, address, why)) return kDaemonCannotStart;
    unlink(socketPath_.c_str());  // a previous run's; the lock says none is alive
    listener_ = std::make_unique<FileDescriptor>(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (listener_->get() < 0 || bind(listener_->get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_->get(), 64) != 0) {
      return Fail(why, "cannot listen on " + socketPath_);
    }
    struct stat made;
    if (stat(socketPath_.c_str(), &made) != 0) return Fail(why, "cannot see " + socketPath_);
    socketIdentity_ = {made.st_dev, made.st_ino};

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) return Fail(why, "cannot make a pipe");
    wakeRead_ = std::make_unique<FileDescriptor>(pipeFds[0]);
    wakeWrite_ = std::make_unique<FileDescriptor>(pipeFds[1]);
    gWakeFd = pipeFds[1];
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return kDaemonStopped;
  }

  static int Fail(std::string* why, const std::string& what) {
    *why = what + ": " + strerror(errno);
    return kDaemonCannotStart;
  }

  void Wake() {
    const char byte = 'w';
    [[maybe_unused]] ssize_t ignored = write(wakeWrite_->get(), &byte, 1);
  }

  void Serve(DriverHost& host) {
    for (;;) {
      pollfd fds[2] = {{listener_->get(), POLLIN, 0}, {wakeRead_->get(), POLLIN, 0}};
      const int ready = poll(fds, 2, kPollMs);
      if (fds[1].revents != 0) return;
      if (!SocketIsOurs()) {
        log_ << "devmgrd: " << socketPath_ << " was removed or replaced" << std::endl;
        return;
      }
      Reap();
      if (ready > 0 && (fds[0].revents & POLLIN) != 0) Accept(host);
    }
  }

  void Accept(DriverHost& host) {
    const int fd = accept4(listener_->get(), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    Connection& connection = connections_.emplace_back(fd);
    connection.thread = std::thread([&connection, &host] {
      devmgr::SocketChannel channel(connection.fd);
      ServeConnection(channel, host);
      connection.done = true;
    });
  }

  void Reap() {
    for (auto it = connections_.begin(); it != connections_.end();) {
      if (it->done) {
        Finish(*it);
        it = connections_.erase(it);
      } else {
        ++it;
      }
    }
  }

  static void Finish(Connection& connection) {
    if (connection.thread.joinable()) connection.thread.join();
    close(connection.fd);
  }

  bool SocketIsOurs() const {
    struct stat now;
    return stat(socketPath_.c_str(), &now) == 0 && now.st_dev == socketIdentity_.first &&
           now.st_ino == socketIdentity_.second;
  }

  std::ostream& log_;
  std::unique_ptr<FileDescriptor> lock_;
  std::unique_ptr<FileDescriptor> listener_;
  std::unique_ptr<FileDescriptor> wakeRead_;
  std::unique_ptr<FileDescriptor> wakeWrite_;
  std::string socketPath_;
  std::pair<dev_t, ino_t> socketIdentity_{};
  std::list<Connection> connections_;
};

}  // namespace

int RunDeviceManager(std::ostream& log, const std::function<void(int, const std::string&)>& ready) {
  return Daemon(log).Run(ready);
}

}  // namespace platform
