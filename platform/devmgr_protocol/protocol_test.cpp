#include "platform/devmgr_protocol/protocol.h"

#include <gtest/gtest.h>

#include <cstring>

namespace platform::devmgr {
namespace {

// A byte stream in memory: what was sent can be received again.
class MemoryChannel : public Channel {
 public:
  explicit MemoryChannel(std::vector<uint8_t> bytes = {}) : bytes_(std::move(bytes)) {}
  size_t Receive(uint8_t* buffer, size_t size) override {
    const size_t n = std::min(size, bytes_.size() - at_);
    if (n > 0) std::memcpy(buffer, bytes_.data() + at_, n);
    at_ += n;
    return n;
  }
  bool Send(const uint8_t* data, size_t size) override {
    bytes_.insert(bytes_.end(), data, data + size);
    return true;
  }
  bool SendAtOnce(const uint8_t* data, size_t size) override { return Send(data, size); }
  bool WaitReadable(int) override { return true; }
  Ready Wait(bool, int) override { return Ready::kReceive; }
  void Nudge() override {}
  bool HasRoom() override { return true; }

 private:
  std::vector<uint8_t> bytes_;
  size_t at_ = 0;
};

TEST(DevmgrProtocol, MessagesSurviveTheWireUnchanged) {
  MemoryChannel channel;
  const ListReply list{0, {{"COM6:", "Drivers\\SercastNG", {"/r/COM6-rw0", "/r/COM6-ro0"}}, {"COM7:", "k", {}}}};
  const IoControlReply control{0, 1, 3, {0, 0xFF, 7}};
  const TransferReply read{13, 0, 2, {'$', 0}};
  ASSERT_TRUE(SendMessage(channel, Operation::kList, list));
  ASSERT_TRUE(SendMessage(channel, Operation::kIoControl, control));
  ASSERT_TRUE(SendMessage(channel, Operation::kRead, read));

  Frame frame;
  std::string error;
  ListReply listBack;
  ASSERT_EQ(ReceiveFrame(channel, frame, &error), ReceiveStatus::kFrame);
  EXPECT_EQ(frame.operation, static_cast<uint32_t>(Operation::kList));
  ASSERT_TRUE(Decode(frame.payload, listBack, &error)) << error;
  ASSERT_EQ(listBack.devices.size(), 2u);
  EXPECT_EQ(listBack.devices[0].links, list.devices[0].links);
  EXPECT_EQ(listBack.devices[1].key, "k");

  IoControlReply controlBack;
  ASSERT_EQ(ReceiveFrame(channel, frame, &error), ReceiveStatus::kFrame);
  ASSERT_TRUE(Decode(frame.payload, controlBack, &error)) << error;
  EXPECT_EQ(controlBack.out, control.out);
  EXPECT_EQ(controlBack.returned, 3u);

  TransferReply readBack;
  ASSERT_EQ(ReceiveFrame(channel, frame, &error), ReceiveStatus::kFrame);
  ASSERT_TRUE(Decode(frame.payload, readBack, &error)) << error;
  EXPECT_EQ(readBack.bytes, read.bytes);
  EXPECT_EQ(readBack.error, 13u);
  EXPECT_EQ(ReceiveFrame(channel, frame, &error), ReceiveStatus::kClosed);
}

TEST(DevmgrProtocol, PayloadsThatLieAreRefused) {
  struct Case {
    const char* what;
    std::vector<uint8_t> payload;
  };
  const Case cases[] = {
      {"empty", {}},
      {"string longer than the payload", {0xFF, 0xFF, 0xFF, 0x7F, 'C', 'O'}},
      {"field cut short", {3, 0, 0, 0, 'C', 'O', 'M', 0, 0}},
      {"bytes left over", {1, 0, 0, 0, 'C', 0, 0, 0, 0, 0, 0, 0, 0, 9}},
  };
  for (const auto& c : cases) {
    OpenRequest open;
    std::string error;
    EXPECT_FALSE(Decode(c.payload, open, &error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
  // A list that claims four billion devices ends at the payload's end.
  ListReply list;
  std::string error;
  EXPECT_FALSE(Decode(std::vector<uint8_t>{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0}, list, &error));
  EXPECT_LE(list.devices.size(), 1u);
}

TEST(DevmgrProtocol, BrokenFramesAreToldApart) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    ReceiveStatus status;
  };
  const Case cases[] = {
      {"nothing", {}, ReceiveStatus::kClosed},
      {"half a header", {6, 0, 0}, ReceiveStatus::kBroken},
      {"huge length", {6, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}, ReceiveStatus::kBroken},
      {"payload cut short", {6, 0, 0, 0, 8, 0, 0, 0, 1, 2}, ReceiveStatus::kBroken},
      {"empty payload", {4, 0, 0, 0, 0, 0, 0, 0}, ReceiveStatus::kFrame},
  };
  for (const auto& c : cases) {
    MemoryChannel channel(c.bytes);
    Frame frame;
    std::string error;
    EXPECT_EQ(ReceiveFrame(channel, frame, &error), c.status) << c.what;
    EXPECT_EQ(error.empty(), c.status != ReceiveStatus::kBroken) << c.what;
  }
}

TEST(DevmgrProtocol, SocketPathTooLongIsNamed) {
  sockaddr_un address;
  std::string error;
  EXPECT_TRUE(SocketAddress("/tmp/r/run/devmgr.sock", address, &error));
  EXPECT_STREQ(address.sun_path, "/tmp/r/run/devmgr.sock");
  const std::string deep = "/" + std::string(120, 'd') + "/run/devmgr.sock";
  EXPECT_FALSE(SocketAddress(deep, address, &error));
  EXPECT_NE(error.find("too long for a Unix socket"), std::string::npos) << error;
}

}  // namespace
}  // namespace platform::devmgr
