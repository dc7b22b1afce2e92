#include "platform/devices/device_manager.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/devices/manager_connection.h"
#include "platform/paths/paths.h"
#include "platform/process/process.h"
#include "platform/registry/registry.h"

namespace platform {

namespace {

using devmgr::Operation;

constexpr char kActiveRoot[] = "Drivers\\Active";
constexpr auto kStartWait = std::chrono::seconds(5);
constexpr auto kStopWait = std::chrono::seconds(10);
constexpr auto kPollPause = std::chrono::milliseconds(20);

std::string DaemonProgram() {
  if (const char* chosen = getenv("DW_DEVMGRD"); chosen != nullptr && *chosen != '\0') return chosen;
  std::error_code ignored;
  if (std::string own = ProgramFolder() + "devmgrd"; std::filesystem::is_regular_file(own, ignored)) return own;
  if (std::filesystem::is_regular_file(DW_BUILD_DEVMGRD, ignored)) return DW_BUILD_DEVMGRD;
  return "devmgrd";
}

// "devmgrd --background" ends with 0 once its daemon listens, with this when another one already
// runs for the root (two starters raced), with anything else when the daemon cannot start (it says
// why on the standard error).
constexpr int kDaemonAlreadyRuns = 3;

bool StartDaemon(uint32_t* error, std::string* message) {
  const std::string program = DaemonProgram();
  const ProcessResult started = StartProcess(program, {"--background"}, true);
  if (!started.ok) {
    *error = GetLastError();
    *message = "cannot start the device manager " + program;
    return false;
  }
  if (started.exitCode != 0 && started.exitCode != kDaemonAlreadyRuns) {
    *error = kErrorDevNotExist;
    *message = "the device manager " + program + " did not start (exit code " + std::to_string(started.exitCode) + ")";
    return false;
  }
  return true;
}

void Tell(std::string* message, const std::string& text) {
  if (message != nullptr) *message = text;
}

// After a Call that failed: the daemon ended, or it answered what this client cannot read.
void TellCallFailure(std::string* message) {
  Tell(message, GetLastError() == kErrorDevNotExist ? "the device manager went away"
                                                    : "the device manager's answer cannot be read (another version?)");
}

bool Failed(uint32_t error, std::string* message, const std::string& text) {
  SetLastError(error);
  Tell(message, text);
  return false;
}

// True once no process holds the daemon's lock.
bool DaemonEnded() {
  const std::string lockPath = JoinPath(devmgr::RunFolder(), "devmgrd.lock");
  const int fd = open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return true;
  const bool free = flock(fd, LOCK_SH | LOCK_NB) == 0;
  close(fd);
  return free;
}

}  // namespace

ManagerConnection::~ManagerConnection() {
  if (fd_ >= 0) close(fd_);
}

bool ManagerConnection::Connect(uint32_t* error, std::string* message) {
  sockaddr_un address;
  if (!devmgr::SocketAddress(devmgr::SocketPath(), address, message)) {
    *error = kErrorFilenameExcedRange;
    return false;
  }
  fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    *error = kErrorFileNotFound;
    *message = "no device manager runs for " + SystemRoot();
    return false;
  }
  channel_ = std::make_unique<devmgr::SocketChannel>(fd_);
  return true;
}

bool ManagerConnection::ConnectStarting(uint32_t* error, std::string* message) {
  if (Connect(error, message)) return true;
  if (*error != kErrorFileNotFound || !StartDaemon(error, message)) return false;
  const auto deadline = std::chrono::steady_clock::now() + kStartWait;
  while (!Connect(error, message)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(kPollPause);
  }
  return true;
}

bool HasBootDrivers() {
  RegistryKey builtIn;
  std::string first;
  return RegistryKey::Open(Hive::kLocalMachine, "Drivers\\BuiltIn", builtIn) == 0 && builtIn.EnumSubkey(0, first) == 0;
}

std::optional<std::string> ActivateDevice(std::string_view keyPath, std::string* message, uint32_t* handle) {
  ManagerConnection connection;
  uint32_t error = 0;
  std::string why;
  devmgr::StatusReply reply;
  if (!connection.ConnectStarting(&error, &why)) {
    Failed(error, message, why);
    return std::nullopt;
  }
  if (!connection.Call(Operation::kActivate, devmgr::KeyRequest{std::string(keyPath)}, reply)) {
    TellCallFailure(message);
    return std::nullopt;
  }
  if (reply.error != 0) {
    Failed(reply.error, message, reply.message);
    return std::nullopt;
  }
  if (handle != nullptr) *handle = reply.handle;
  SetLastError(0);
  return reply.name;
}

bool DeactivateDevice(std::string_view name, std::string* message) {
  ManagerConnection connection;
  uint32_t error = 0;
  std::string why;
  devmgr::StatusReply reply;
  if (!connection.Connect(&error, &why)) return Failed(error, message, why);
  if (!connection.Call(Operation::kDeactivate, devmgr::NameRequest{std::string(name)}, reply)) {
    TellCallFailure(message);
    return false;
  }
  if (reply.error != 0) return Failed(reply.error, message, reply.message);
  SetLastError(0);
  return true;
}

bool DeactivateDeviceHandle(uint32_t handle, std::string* message) {
  RegistryKey active;
  std::string number;
  if (RegistryKey::Open(Hive::kLocalMachine, kActiveRoot, active) == 0) {
    for (uint32_t i = 0; active.EnumSubkey(i, number) == 0; ++i) {
      RegistryKey device;
      uint32_t hnd = 0;
      std::string name;
      if (RegistryKey::Open(Hive::kLocalMachine, JoinPath(kActiveRoot, number), device) == 0 &&
          device.QueryDword("Hnd", hnd) == 0 && hnd == handle && device.QueryString("Name", name) == 0) {
        return DeactivateDevice(name, message);
      }
    }
  }
  return Failed(kErrorInvalidHandle, message, "no active device has the handle " + std::to_string(handle));
}

std::optional<std::vector<ActiveDevice>> ListDevices() {
  ManagerConnection connection;
  uint32_t error = 0;
  std::string why;
  std::vector<ActiveDevice> devices;
  if (!connection.Connect(&error, &why)) return devices;
  devmgr::ListReply reply;
  if (!connection.Call(Operation::kList, devmgr::EmptyMessage{}, reply)) return std::nullopt;
  for (auto& entry : reply.devices) {
    devices.push_back({std::move(entry.name), std::move(entry.key), std::move(entry.links)});
  }
  return devices;
}

bool StopDeviceManager(std::string* message) {
  ManagerConnection connection;
  uint32_t error = 0;
  std::string why;
  devmgr::StatusReply reply;
  if (!connection.Connect(&error, &why)) return true;
  if (!connection.Call(Operation::kStop, devmgr::EmptyMessage{}, reply)) {
    TellCallFailure(message);
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + kStopWait;
  while (!DaemonEnded()) {
    if (std::chrono::steady_clock::now() > deadline)
      return Failed(kErrorTimeout, message, "the device manager did not end");
    std::this_thread::sleep_for(kPollPause);
  }
  SetLastError(0);
  return true;
}

bool DeviceManagerRunning() {
  ManagerConnection connection;
  uint32_t error = 0;
  std::string why;
  return connection.Connect(&error, &why);
}

}  // namespace platform
