// The taps against a port of the test's own: a small ring that only writers' reads fill, with a
// position per client and overtaking as the virtual port does it.

#include "platform/stream_driver/port_taps.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "platform/devices/device.h"
#include "platform/devices/serial_control.h"
#include "platform/errors/errors.h"
#include "platform/testing/files.h"
#include "platform/testing/temp_folder.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class FakePort : public StreamDevice {
 public:
  static constexpr uint64_t kRing = 16384;

  // Bytes the input device will give the next writers' reads.
  void Input(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_ += bytes;
  }
  // Bytes another client of the port pulled in.
  void Append(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    Store(bytes);
  }

  uint32_t Open(uint32_t access, uint32_t, uint32_t* error) override {
    std::lock_guard<std::mutex> lock(mutex_);
    clients_[next_] = {total_, (access & kGenericWrite) != 0};
    accesses_.push_back(access);
    *error = 0;
    return next_++;
  }
  void Close(uint32_t openContext) override {
    std::lock_guard<std::mutex> lock(mutex_);
    clients_.erase(openContext);
  }
  int64_t Read(uint32_t openContext, void* buffer, uint32_t count, uint32_t* error) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Client& client = clients_.at(openContext);
    if (client.writer) {
      const size_t pulled = std::min<size_t>(count, pending_.size());
      Store(pending_.substr(0, pulled));
      pending_.erase(0, pulled);
    }
    if (total_ - client.position > kRing) {
      client.position = total_;
      ++overtaken_;
      *error = kErrorInvalidData;
      return 0;
    }
    const uint64_t n = std::min<uint64_t>(count, total_ - client.position);
    for (uint64_t i = 0; i < n; ++i) static_cast<char*>(buffer)[i] = ring_[(client.position + i) % kRing];
    client.position += n;
    *error = 0;
    return static_cast<int64_t>(n);
  }
  int64_t Write(uint32_t, const void* data, uint32_t size, uint32_t* error) override {
    std::lock_guard<std::mutex> lock(mutex_);
    written_.append(static_cast<const char*>(data), size);
    *error = 0;
    return size;
  }
  bool IoControl(uint32_t, uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t*, uint32_t, uint32_t* returned,
                 uint32_t* error) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (code == kIoctlSerialSetDcb && inSize == sizeof settings_) std::memcpy(&settings_, in, inSize);
    if (code == kIoctlSerialSetTimeouts && inSize == sizeof timeouts_) std::memcpy(&timeouts_, in, inSize);
    *returned = 0;
    *error = 0;
    return true;
  }
  uint64_t InputSequence() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return sequence_;
  }
  bool WaitForInput(uint64_t seen, uint32_t timeoutMs) override {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return sequence_ != seen; });
  }
  void AddInputWaiter(InputWaiter*) override {}  // the taps wait on the sequence
  void RemoveInputWaiter(InputWaiter*) override {}

  template <typename T>
  T Get(T FakePort::*field) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return this->*field;
  }
  size_t OpenClients() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return clients_.size();
  }

  std::string written_;
  std::vector<uint32_t> accesses_;
  SerialSettings settings_{};
  SerialTimeouts timeouts_{};
  int overtaken_ = 0;

 private:
  struct Client {
    uint64_t position = 0;
    bool writer = false;
  };

  void Store(const std::string& bytes) {
    for (const char c : bytes) ring_[total_++ % kRing] = c;
    ++sequence_;
    changed_.notify_all();
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string pending_;
  char ring_[kRing] = {};
  uint64_t total_ = 0;
  uint64_t sequence_ = 0;
  std::map<uint32_t, Client> clients_;
  uint32_t next_ = 1;
};

bool Eventually(const std::function<bool()>& done, int ms = 5000) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// A program on a tap's terminal.
class Program {
 public:
  explicit Program(const std::string& terminal) : fd_(open(terminal.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
    EXPECT_GE(fd_, 0) << terminal;
  }
  ~Program() { Close(); }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Reads on until `size` bytes have come in all or `ms` passed without enough.
  const std::string& ReadUntil(size_t size, int ms = 5000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    char buffer[4096];
    while (received.size() < size && Clock::now() < deadline) {
      pollfd entry{fd_, POLLIN, 0};
      if (poll(&entry, 1, 10) <= 0) continue;
      const ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n > 0) received.append(buffer, static_cast<size_t>(n));
    }
    return received;
  }
  const std::string& ReadFor(int ms) { return ReadUntil(SIZE_MAX, ms); }
  void Send(const std::string& bytes) const {
    ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }
  bool HasInput() const {
    pollfd entry{fd_, POLLIN, 0};
    return poll(&entry, 1, 0) > 0;
  }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  int fd() const { return fd_; }

  std::string received;

 private:
  int fd_;
};

// Numbered records, so a gap or a repeat anywhere shows.
std::string Records(size_t first, size_t count) {
  std::string text;
  char record[9];
  for (size_t i = first; i < first + count; ++i) {
    std::snprintf(record, sizeof record, "%07zu\n", i % 10000000);
    text += record;
  }
  return text;
}

class PortTapsTest : public ::testing::Test {
 protected:
  std::unique_ptr<PortTaps> Taps(TapCounts counts, const TapInputSettings& input = {}) {
    return std::make_unique<PortTaps>(port_, "COM6:", counts, input, folder_.Path().string());
  }
  bool ClientsOpen(size_t count) const {
    return Eventually([&] { return port_.OpenClients() == count; });
  }

  FakePort port_;
  testing::TempFolder folder_{"port_taps"};
};

TEST_F(PortTapsTest, LinksArePublishedInRawModeAndRemovedAtTheEnd) {
  const fs::path stale = folder_ / "COM6-rw0";
  fs::create_symlink("/nonexistent/pts", stale);
  const fs::path notALink = folder_ / "COM6-ro1";
  testing::WriteFile(notALink, "someone else's file");

  auto taps = Taps({1, 2});
  EXPECT_EQ(GetLastError(), kErrorFileExists);
  const std::vector<std::string> links = taps->Links();
  ASSERT_EQ(links, (std::vector<std::string>{stale.string(), (folder_ / "COM6-ro0").string()}));
  for (const std::string& link : links) {
    EXPECT_EQ(fs::read_symlink(link).string().rfind("/dev/pts/", 0), 0u) << link;
    const Program program(link);
    termios tio{};
    ASSERT_EQ(tcgetattr(program.fd(), &tio), 0);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u) << link;
    EXPECT_EQ(tio.c_iflag & (ICRNL | IXON), 0u) << link;
  }
  const auto start = Clock::now();
  taps.reset();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  for (const std::string& link : links) EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << link;
  EXPECT_EQ(testing::ReadFile(notALink), "someone else's file");
  EXPECT_EQ(port_.OpenClients(), 0u);
}

TEST_F(PortTapsTest, AProgramGetsWhatFollowsItsOpeningAndNothingOfTheProgramBefore) {
  auto taps = Taps({0, 1});
  port_.Append("before");
  auto program = std::make_unique<Program>(taps->Links()[0]);
  ASSERT_TRUE(ClientsOpen(1));
  port_.Append("after");
  EXPECT_EQ(program->ReadFor(300), "after");

  port_.Append("unread by the first program");
  ASSERT_TRUE(Eventually([&] { return program->HasInput(); }));
  program.reset();
  ASSERT_TRUE(ClientsOpen(0));
  port_.Append("while nobody listens");

  Program next(taps->Links()[0]);
  ASSERT_TRUE(ClientsOpen(1));
  port_.Append("fresh");
  EXPECT_EQ(next.ReadFor(300), "fresh");
}

TEST_F(PortTapsTest, TwoTapsBothGetTheWholeStream) {
  auto taps = Taps({1, 1});
  Program writer(taps->Links()[0]);
  Program listener(taps->Links()[1]);
  ASSERT_TRUE(ClientsOpen(2));
  std::string stream;
  for (size_t chunk = 0; chunk < 16; ++chunk) {  // four times the ring
    const std::string bytes = Records(chunk * 512, 512);
    stream += bytes;
    port_.Input(bytes);
    writer.ReadUntil(stream.size());
    listener.ReadUntil(stream.size());
  }
  EXPECT_EQ(writer.received, stream);
  EXPECT_EQ(listener.received, stream);
  EXPECT_EQ(port_.Get(&FakePort::overtaken_), 0);
}

// A program that stops reading holds up neither the other tap nor the input, and when it reads
// again it gets what its terminal held, then newer data: one gap, nothing mixed up.
class StalledProgramTest : public PortTapsTest, public ::testing::WithParamInterface<bool> {};

TEST_P(StalledProgramTest, DoesNotHoldUpTheOtherTapAndResumesWithNewerData) {
  const bool writerStalls = GetParam();
  auto taps = Taps({1, 1});
  Program writer(taps->Links()[0]);
  Program listener(taps->Links()[1]);
  ASSERT_TRUE(ClientsOpen(2));
  Program& reading = writerStalls ? listener : writer;
  Program& stalled = writerStalls ? writer : listener;

  std::string stream;
  size_t next = 0;
  auto feed = [&](size_t records) {
    const std::string bytes = Records(next, records);
    next += records;
    stream += bytes;
    port_.Input(bytes);
    return reading.ReadUntil(stream.size()).size() == stream.size();
  };
  for (int chunk = 0; chunk < 32; ++chunk) ASSERT_TRUE(feed(512)) << chunk;  // terminal and ring overrun
  EXPECT_EQ(reading.received, stream);

  stalled.ReadFor(300);  // what the terminal held
  ASSERT_TRUE(feed(64));
  const std::string tail = stream.substr(stream.size() - size_t{64} * 8);
  const std::string& got = stalled.ReadUntil(stalled.received.size() + tail.size());
  ASSERT_GE(got.size(), tail.size());
  EXPECT_EQ(got.substr(got.size() - tail.size()), tail);
  const size_t kept = static_cast<size_t>(std::mismatch(got.begin(), got.end(), stream.begin()).first - got.begin());
  ASSERT_LT(got.size(), stream.size());
  EXPECT_GT(kept, 0u);
  EXPECT_EQ(got.substr(kept), stream.substr(stream.size() - (got.size() - kept))) << "one gap, then the stream";
  EXPECT_EQ(port_.Get(&FakePort::overtaken_), writerStalls ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(ListenerOrWriter, StalledProgramTest, ::testing::Bool(),
                         [](const auto& test) { return test.param ? "WriterStalls" : "ListenerStalls"; });

TEST_F(PortTapsTest, AReadWriteTapSetsUpTheInputAndPassesOnWhatItsProgramWrites) {
  auto taps = Taps({1, 1}, {9600, 7, 2, 2});
  Program writer(taps->Links()[0]);
  Program listener(taps->Links()[1]);
  ASSERT_TRUE(ClientsOpen(2));
  std::vector<uint32_t> accesses = port_.Get(&FakePort::accesses_);
  std::sort(accesses.begin(), accesses.end());
  EXPECT_EQ(accesses, (std::vector<uint32_t>{kGenericRead, kGenericRead | kGenericWrite}));
  const SerialSettings settings = port_.Get(&FakePort::settings_);
  EXPECT_EQ(settings.baudRate, 9600u);
  EXPECT_EQ(settings.byteSize, 7);
  EXPECT_EQ(settings.parity, 2);
  EXPECT_EQ(settings.stopBits, 2);
  const SerialTimeouts timeouts = port_.Get(&FakePort::timeouts_);
  EXPECT_EQ(timeouts.readInterval, 0xFFFFFFFFu);
  EXPECT_EQ(timeouts.readTotalMultiplier, 0xFFFFFFFFu);
  EXPECT_EQ(timeouts.readTotalConstant, 100u);

  // A listener's program may talk to its receiver as much as it likes; nothing reaches the input.
  const std::string chatter(size_t{64} * 1024, 'x');
  size_t said = 0;
  while (said < chatter.size()) {
    pollfd entry{listener.fd(), POLLOUT, 0};
    if (poll(&entry, 1, 5000) <= 0) break;
    const ssize_t n = write(listener.fd(), chatter.data() + said, chatter.size() - said);
    if (n > 0) said += static_cast<size_t>(n);
  }
  EXPECT_EQ(said, chatter.size());
  writer.Send("$PSRF100,1,4800,8,1,0*0E\r\n");
  EXPECT_TRUE(Eventually([&] { return port_.Get(&FakePort::written_) == "$PSRF100,1,4800,8,1,0*0E\r\n"; }));
}

}  // namespace
}  // namespace platform
