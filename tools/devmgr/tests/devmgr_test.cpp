// The device manager end to end: the devmgrd of the build tree, started on demand on a temporary
// system root, hosting the loopback drivers of this folder; the client library and the devmgr
// command on the other side.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <thread>

#include "platform/devices/device.h"
#include "platform/devices/device_manager.h"
#include "platform/devmgr_protocol/protocol.h"
#include "platform/errors/errors.h"
#include "platform/registry/registry.h"
#include "platform/testing/files.h"
#include "platform/testing/system_root.h"
#include "tools/devmgr/devmgr.h"

namespace {

using platform::Hive;
using platform::RegistryKey;
using platform::devmgr::Operation;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr uint32_t kReadWrite = platform::kGenericRead | platform::kGenericWrite;

struct DriverKey {
  const char* dll;
  const char* prefix;
  int64_t index;  // < 0: no Index value
};

class DeviceManagerTest : public platform::testing::SystemRootTest {
 protected:
  ~DeviceManagerTest() override { EXPECT_TRUE(platform::StopDeviceManager()); }

  static void WriteKey(const std::string& path, const DriverKey& values) {
    RegistryKey key;
    ASSERT_EQ(RegistryKey::Create(Hive::kLocalMachine, path, key), 0u);
    if (values.dll != nullptr) key.SetString("Dll", values.dll);
    if (values.prefix != nullptr) key.SetString("Prefix", values.prefix);
    if (values.index >= 0) key.SetDword("Index", static_cast<uint32_t>(values.index));
  }

  static std::vector<std::string> ActiveKeys() {
    std::vector<std::string> names;
    RegistryKey active;
    if (RegistryKey::Open(Hive::kLocalMachine, "Drivers\\Active", active) != 0) return names;
    std::string name;
    for (uint32_t i = 0; active.EnumSubkey(i, name) == 0; ++i) names.push_back(name);
    return names;
  }

  size_t DriverCopies() const {
    std::error_code ignored;
    const fs::path folder = fs::path(root_) / "run" / "drivers";
    if (!fs::exists(folder, ignored)) return 0;
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
  }

  // True once no daemon holds the root's lock (a killed one may linger as a zombie).
  bool DaemonEnded() const {
    const int fd = open((fs::path(root_) / "run" / "devmgrd.lock").c_str(), O_RDONLY | O_CLOEXEC);
    const bool ended = flock(fd, LOCK_SH | LOCK_NB) == 0;
    close(fd);
    return ended;
  }

  pid_t DaemonPid() const {
    return static_cast<pid_t>(std::stol(platform::testing::ReadFile(fs::path(root_) / "run" / "devmgrd.lock")));
  }

  std::string Activate(const std::string& key) {
    std::string message;
    const auto name = platform::ActivateDevice(key, &message);
    EXPECT_TRUE(name.has_value()) << message;
    return name.value_or("");
  }

  static std::string ReadAll(platform::Device& device) {
    char buffer[64];
    size_t count = 0;
    EXPECT_TRUE(device.Read(buffer, sizeof buffer, &count));
    return std::string(buffer, count);
  }

  const fs::path extra_ = system_.Folder() / "extra";
  platform::testing::ScopedEnv daemon_{"DW_DEVMGRD", DEVMGRD_PATH};
  platform::testing::ScopedEnv drivers_{"DW_DRIVER_PATH", extra_.string() + ":" + FAKE_DRIVER_FOLDER};
};

// A raw connection, to say what no client library would.
class RawConnection {
 public:
  RawConnection() : fd_(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)), channel_(fd_) {
    sockaddr_un address;
    std::string error;
    EXPECT_TRUE(platform::devmgr::SocketAddress(platform::devmgr::SocketPath(), address, &error));
    EXPECT_EQ(connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  }
  ~RawConnection() { close(fd_); }
  platform::devmgr::SocketChannel& channel() { return channel_; }
  void SendBytes(const std::vector<uint8_t>& bytes) { channel_.Send(bytes.data(), bytes.size()); }
  template <class Reply>
  Reply Receive() {
    platform::devmgr::Frame frame;
    std::string error;
    Reply reply;
    EXPECT_EQ(platform::devmgr::ReceiveFrame(channel_, frame, &error), platform::devmgr::ReceiveStatus::kFrame);
    EXPECT_TRUE(platform::devmgr::Decode(frame.payload, reply, &error)) << error;
    return reply;
  }

 private:
  int fd_;
  platform::devmgr::SocketChannel channel_;
};

uint32_t OpenContexts(platform::Device& device) {
  uint32_t count = 0;
  size_t returned = 0;
  EXPECT_TRUE(device.IoControl(1, nullptr, 0, &count, sizeof count, &returned));
  return count;
}

TEST_F(DeviceManagerTest, InstancesActivateListAndDeactivate) {
  WriteKey("Drivers\\Loop", {"FakeLoop.dll", "COM", 6});
  WriteKey("Drivers\\Loop7", {"FakeLoop.dll", "COM", 7});
  EXPECT_EQ(Activate("Drivers\\Loop"), "COM6:");
  uint32_t handle7 = 0;
  EXPECT_EQ(platform::ActivateDevice("Drivers\\Loop7", nullptr, &handle7), "COM7:");
  EXPECT_FALSE(platform::ActivateDevice("Drivers\\Loop"));
  EXPECT_EQ(platform::GetLastError(), platform::kErrorDeviceInUse);

  RegistryKey active;
  ASSERT_EQ(RegistryKey::Open(Hive::kLocalMachine, "Drivers\\Active\\01", active), 0u);
  std::string key;
  std::string name;
  uint32_t handle = 0;
  EXPECT_EQ(active.QueryString("Key", key), 0u);
  EXPECT_EQ(active.QueryString("Name", name), 0u);
  EXPECT_EQ(active.QueryDword("Hnd", handle), 0u);
  EXPECT_EQ(key, "Drivers\\Loop");
  EXPECT_EQ(name, "COM6:");
  EXPECT_EQ(DriverCopies(), 2u);

  // Two copies of one file: bytes written to COM6: stay in COM6:'s instance.
  auto com6 = platform::OpenDevice("COM6:", kReadWrite, 0);
  auto com7 = platform::OpenDevice("com7:", kReadWrite, 0);
  ASSERT_TRUE(com6 && com7);
  size_t written = 0;
  ASSERT_TRUE(com6->Write("$GPGGA", 6, &written));
  EXPECT_EQ(written, 6u);
  EXPECT_EQ(ReadAll(*com7), "");
  EXPECT_EQ(platform::GetLastError(), platform::kErrorNotReady);  // the driver's word travels with the count
  EXPECT_EQ(ReadAll(*com6), "$GPGGA");
  const uint8_t control[3] = {1, 2, 3};
  uint8_t echoed[8] = {};
  size_t returned = 0;
  EXPECT_TRUE(com6->IoControl(77, control, sizeof control, echoed, sizeof echoed, &returned));
  EXPECT_EQ(returned, 3u);
  EXPECT_EQ(echoed[2], 3);

  const auto enumerated = platform::EnumDevices();
  EXPECT_NE(std::find(enumerated.begin(), enumerated.end(), "COM6:"), enumerated.end());

  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(tools::RunDevmgr({"deactivate", "COM6:"}, out, err), 0) << err.str();
  EXPECT_EQ(tools::RunDevmgr({"list"}, out, err), 0);
  // Each port is offered to other programs by a read-write and a read-only tap.
  const std::string taps = (system_.Folder() / "root/run/ports/COM7-").string();
  EXPECT_EQ(out.str(), "COM7:\tDrivers\\Loop7\t" + taps + "rw0\t" + taps + "ro0\n");
  EXPECT_EQ(ActiveKeys(), std::vector<std::string>{"02"});
  EXPECT_EQ(DriverCopies(), 1u);
  // The connection still open on the unloaded device hears that it is gone.
  EXPECT_FALSE(com6->Write("x", 1, &written));
  EXPECT_EQ(platform::GetLastError(), platform::kErrorDevNotExist);
  EXPECT_FALSE(platform::DeactivateDevice("COM6:"));
  EXPECT_FALSE(platform::DeactivateDeviceHandle(handle7 + 1));
  EXPECT_EQ(platform::GetLastError(), platform::kErrorInvalidHandle);
  EXPECT_TRUE(platform::DeactivateDeviceHandle(handle7));
  EXPECT_TRUE(ActiveKeys().empty());
}

TEST_F(DeviceManagerTest, RefusedActivationsLeaveNothingBehind) {
  platform::testing::WriteFile(extra_ / "libJunk.so", "not a library");
  struct Case {
    DriverKey key;
    uint32_t error;
  };
  const Case cases[] = {
      {{nullptr, "COM", 6}, platform::kErrorFileNotFound},
      {{"FakeLoop.dll", nullptr, 6}, platform::kErrorFileNotFound},
      {{"FakeLoop.dll", "COM", -1}, platform::kErrorFileNotFound},
      {{"FakeLoop.dll", "../", 6}, platform::kErrorInvalidParameter},
      {{"FakeLoop.dll", "XYZ", 6}, platform::kErrorProcNotFound},
      {{"Missing.dll", "COM", 6}, platform::kErrorFileNotFound},
      {{"Junk.dll", "COM", 6}, platform::kErrorBadExeFormat},
      {{"FakeFail.dll", "COM", 6}, platform::kErrorDevNotExist},
  };
  for (const auto& c : cases) {
    const std::string path = std::string("Drivers\\Case_") + (c.key.dll ? c.key.dll : "") +
                             (c.key.prefix ? c.key.prefix : "") + std::to_string(c.key.index);
    WriteKey(path, c.key);
    std::string message;
    EXPECT_FALSE(platform::ActivateDevice(path, &message)) << path;
    EXPECT_EQ(platform::GetLastError(), c.error) << path << ": " << message;
    EXPECT_NE(message.find(path), std::string::npos) << message;
  }
  EXPECT_FALSE(platform::ActivateDevice("Drivers\\NoSuchKey"));
  EXPECT_TRUE(ActiveKeys().empty());
  EXPECT_EQ(DriverCopies(), 0u);
  EXPECT_TRUE(platform::ListDevices()->empty());

  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(tools::RunDevmgr({"activate", "Drivers\\NoSuchKey"}, out, err), 2);
  EXPECT_NE(err.str().find("no such driver key"), std::string::npos) << err.str();
  EXPECT_EQ(tools::RunDevmgr({"activate"}, out, err), 1);
  EXPECT_EQ(tools::RunDevmgr({"frobnicate"}, out, err), 1);
}

TEST_F(DeviceManagerTest, OneBadConnectionHarmsNoOther) {
  WriteKey("Drivers\\Loop", {"FakeLoop.dll", "COM", 6});
  Activate("Drivers\\Loop");
  auto writer = platform::OpenDevice("COM6:", kReadWrite, 0);
  ASSERT_TRUE(writer);

  {  // Garbage: a header that announces four gigabytes. It is refused with a reason.
    RawConnection garbage;
    garbage.SendBytes({6, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'x'});
    const auto refusal = garbage.Receive<platform::devmgr::StatusReply>();
    EXPECT_EQ(refusal.error, platform::kErrorInvalidData);
    EXPECT_NE(refusal.message.find("exceeds the limit"), std::string::npos) << refusal.message;
  }
  {  // A listener that vanishes while its read waits in the daemon has its context closed.
    RawConnection vanishing;
    platform::devmgr::SendMessage(vanishing.channel(), Operation::kOpen,
                                  platform::devmgr::OpenRequest{"COM6:", platform::kGenericRead, 0});
    EXPECT_EQ(vanishing.Receive<platform::devmgr::StatusReply>().error, 0u);
    EXPECT_EQ(OpenContexts(*writer), 2u);
    platform::devmgr::SendMessage(vanishing.channel(), Operation::kRead,
                                  platform::devmgr::ReadRequest{0xFFFFFFFF, 300});
  }
  const auto deadline = std::chrono::steady_clock::now() + 3s;
  while (OpenContexts(*writer) != 1 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(20ms);
  EXPECT_EQ(OpenContexts(*writer), 1u);

  size_t written = 0;
  ASSERT_TRUE(writer->Write("still here", 10, &written));
  EXPECT_EQ(ReadAll(*writer), "still here");
}

TEST_F(DeviceManagerTest, ListenerWaitsForAWritersReadAndNoLonger) {
  WriteKey("Drivers\\Loop", {"FakeLoop.dll", "COM", 6});
  Activate("Drivers\\Loop");
  auto writer = platform::OpenDevice("COM6:", kReadWrite, 0);
  ASSERT_TRUE(writer);
  RawConnection listener;
  platform::devmgr::SendMessage(listener.channel(), Operation::kOpen,
                                platform::devmgr::OpenRequest{"COM6:", platform::kGenericRead, 0});
  EXPECT_EQ(listener.Receive<platform::devmgr::StatusReply>().error, 0u);
  const auto asked = std::chrono::steady_clock::now();
  platform::devmgr::SendMessage(listener.channel(), Operation::kRead, platform::devmgr::ReadRequest{64, 4000});
  std::this_thread::sleep_for(100ms);
  size_t count = 0;
  ASSERT_TRUE(writer->Write("$GP$GP", 6, &count));
  char pulled[3];
  ASSERT_TRUE(writer->Read(pulled, sizeof pulled, &count));  // a writer's read that brings input in
  ASSERT_EQ(count, 3u);
  const auto reply = listener.Receive<platform::devmgr::TransferReply>();
  EXPECT_EQ(std::string(reply.bytes.begin(), reply.bytes.end()), "$GP");
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 2s);
}

// A listener's read outlasts its caller's wait: its answer comes with a later read, also when
// the caller asked something else meanwhile, and a close does not wait for it.
TEST_F(DeviceManagerTest, ListenerReadStaysAskedAcrossItsCallersCalls) {
  WriteKey("Drivers\\Loop", {"FakeLoop.dll", "COM", 6});
  Activate("Drivers\\Loop");
  auto writer = platform::OpenDevice("COM6:", kReadWrite, 0);
  auto listener = platform::OpenDevice("COM6:", platform::kGenericRead, 0);
  ASSERT_TRUE(writer && listener);
  char buffer[64];
  size_t count = 1;
  auto asked = std::chrono::steady_clock::now();
  ASSERT_TRUE(listener->Read(buffer, sizeof buffer, &count));
  EXPECT_EQ(count, 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 2s);
  ASSERT_TRUE(writer->Write("$GP$GP", 6, &count));
  ASSERT_TRUE(writer->Read(buffer, 3, &count));  // answers the listener's read, still asked
  uint32_t open = 0;
  ASSERT_TRUE(listener->IoControl(1, nullptr, 0, &open, sizeof open, &count));
  EXPECT_EQ(open, 2u);
  for (const std::string expected : {"$G", "P"}) {
    ASSERT_TRUE(listener->Read(buffer, 2, &count));
    EXPECT_EQ(std::string(buffer, count), expected);
  }
  ASSERT_TRUE(listener->Read(buffer, sizeof buffer, &count));
  asked = std::chrono::steady_clock::now();
  listener.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 1s);
}

// A listener takes what is there in one read, many driver reads long, and hears of a loss at once,
// after the bytes that came before it.
TEST_F(DeviceManagerTest, ListenerDrainsInOneReadAndHearsOfLostDataAtOnce) {
  WriteKey("Drivers\\Loop", {"FakeLoop.dll", "COM", 6});
  Activate("Drivers\\Loop");
  auto listener = platform::OpenDevice("COM6:", platform::kGenericRead, 0);
  ASSERT_TRUE(listener);
  const std::string held = "$GPGGA,1*00\r\n$GPRMC,2*00\r\n$GPVTG,3*00\r\n";  // three driver reads
  for (const std::string& before : {std::string(), held}) {
    size_t count = 0;
    ASSERT_TRUE(listener->Write(before.data(), before.size(), &count));
    ASSERT_TRUE(listener->IoControl(2, nullptr, 0, nullptr, 0, &count));  // a loss after what is held
    char buffer[64];
    auto asked = std::chrono::steady_clock::now();
    ASSERT_TRUE(listener->Read(buffer, sizeof buffer, &count));
    EXPECT_EQ(std::string(buffer, count), before);
    if (!before.empty()) {
      asked = std::chrono::steady_clock::now();
      ASSERT_TRUE(listener->Read(buffer, sizeof buffer, &count));
    }
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(platform::GetLastError(), platform::kErrorInvalidData);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 150ms);  // no wait for a writer first
  }
}

TEST_F(DeviceManagerTest, ClientOfAKilledDaemonGetsDeviceMissing) {
  WriteKey("Drivers\\Loop", {"FakeLoop.dll", "COM", 6});
  Activate("Drivers\\Loop");
  auto listener = platform::OpenDevice("COM6:", platform::kGenericRead, 0);
  ASSERT_TRUE(listener);
  std::atomic<uint32_t> error{0};
  std::thread reader([&] {
    char buffer[16];
    size_t count = 0;
    while (listener->Read(buffer, sizeof buffer, &count)) {
    }
    error = platform::GetLastError();
  });
  std::this_thread::sleep_for(100ms);
  ASSERT_EQ(kill(DaemonPid(), SIGKILL), 0);
  reader.join();
  EXPECT_EQ(error, platform::kErrorDevNotExist);
  size_t written = 0;
  EXPECT_FALSE(listener->Write("x", 1, &written));
  EXPECT_EQ(platform::GetLastError(), platform::kErrorDevNotExist);
}

TEST_F(DeviceManagerTest, DaemonStartsWhenNeededAndBootsBuiltInDrivers) {
  // Without boot drivers, opening a port starts no daemon.
  EXPECT_FALSE(platform::OpenDevice("COM6:", kReadWrite, 0));
  EXPECT_FALSE(platform::DeviceManagerRunning());
  {  // A daemon that cannot start is told at once, not after the wait for its socket.
    platform::testing::ScopedEnv broken("DW_DEVMGRD", "/bin/false");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(platform::ActivateDevice("Drivers\\Loop"));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorDevNotExist);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
  }

  // Loaded in their Order, so the second key's device is the first active one.
  WriteKey("Drivers\\BuiltIn\\A", {"FakeLoop.dll", "COM", 6});
  WriteKey("Drivers\\BuiltIn\\B", {"FakeLoop.dll", "COM", 7});
  RegistryKey order;
  ASSERT_EQ(RegistryKey::Open(Hive::kLocalMachine, "Drivers\\BuiltIn\\B", order), 0u);
  order.SetDword("Order", 1);
  RegistryKey stale;
  ASSERT_EQ(RegistryKey::Create(Hive::kLocalMachine, "Drivers\\Active\\07", stale), 0u);
  auto port = platform::OpenDevice("COM6:", kReadWrite, 0);
  ASSERT_TRUE(port) << platform::GetLastError();
  EXPECT_EQ(ActiveKeys(), (std::vector<std::string>{"01", "02"}));
  EXPECT_EQ(platform::ListDevices()->at(0).key, "Drivers\\BuiltIn\\B");
}

TEST_F(DeviceManagerTest, DaemonEndsWhenItsSocketIsRemoved) {
  WriteKey("Drivers\\Loop", {"FakeLoop.dll", "COM", 6});
  Activate("Drivers\\Loop");
  ASSERT_EQ(unlink(platform::devmgr::SocketPath().c_str()), 0);
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!DaemonEnded() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(DaemonEnded());
  EXPECT_TRUE(ActiveKeys().empty());
}

}  // namespace
