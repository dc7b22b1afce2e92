#include "platform/devmgr_host/connection.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/errors/errors.h"

namespace platform {

namespace {

using devmgr::Operation;

constexpr uint32_t kWriteAccess = 0x40000000u;
constexpr auto kShortestDriverWait = std::chrono::milliseconds(1);

// A listener's read that waits for input: answered by the thread that brings the input, or by the
// connection's own thread when its time is up or the client asks something else first. A standing
// read is answered each time input comes and has no time limit.
struct PendingRead {
  uint32_t count = 0;
  std::chrono::steady_clock::time_point until;
  bool standing = false;
};

class Session final : public InputWaiter {
 public:
  Session(devmgr::Channel& channel, ConnectionHost& host) : channel_(channel), host_(host) {}
  ~Session() { CloseDevice(); }

  void Serve() {
    devmgr::Frame frame;
    std::string error;
    for (;;) {
      AwaitRequest();
      const devmgr::ReceiveStatus status = devmgr::ReceiveFrame(channel_, frame, &error);
      if (status == devmgr::ReceiveStatus::kClosed) return;
      // Whatever comes next, a waiting read is answered first: replies keep the order of requests.
      EndPendingRead();
      if (status == devmgr::ReceiveStatus::kBroken) {
        Refuse(frame.operation, kErrorInvalidData, error);
        return;
      }
      if (!Dispatch(frame)) return;
    }
  }

  void InputArrived() override { PushInput(); }

 private:
  // False ends the connection.
  bool Dispatch(const devmgr::Frame& frame) {
    const auto operation = static_cast<Operation>(frame.operation);
    switch (operation) {
      case Operation::kActivate:
        return Handle<devmgr::KeyRequest>(frame, [&](const auto& r) { return host_.Activate(r.keyPath); });
      case Operation::kDeactivate:
        return Handle<devmgr::NameRequest>(frame, [&](const auto& r) { return host_.Deactivate(r.name); });
      case Operation::kList: return Handle<devmgr::EmptyMessage>(frame, [&](const auto&) { return host_.List(); });
      case Operation::kStop:
        // Answered first: stopping closes this connection too.
        if (!Handle<devmgr::EmptyMessage>(frame, [](const auto&) { return devmgr::StatusReply{}; })) return false;
        host_.RequestStop();
        return true;
      case Operation::kOpen: return Handle<devmgr::OpenRequest>(frame, [&](const auto& r) { return Open(r); });
      case Operation::kRead: return StartRead(frame);
      case Operation::kWrite:
        return HandleOnDevice<devmgr::WriteRequest>(frame, [&](const auto& r) { return Write(r); });
      case Operation::kIoControl:
        return HandleOnDevice<devmgr::IoControlRequest>(frame, [&](const auto& r) { return IoControl(r); });
      case Operation::kClose:
        CloseDevice();
        devmgr::SendMessage(channel_, operation, devmgr::StatusReply{});
        return false;
    }
    return Refuse(frame.operation, kErrorInvalidFunction, "unknown operation " + std::to_string(frame.operation));
  }

  template <class Request, class Handler>
  bool Handle(const devmgr::Frame& frame, Handler handler) {
    Request request;
    std::string error;
    if (!devmgr::Decode(frame.payload, request, &error)) return Refuse(frame.operation, kErrorInvalidData, error);
    return devmgr::SendMessage(channel_, static_cast<Operation>(frame.operation), handler(request));
  }

  template <class Request, class Handler>
  bool HandleOnDevice(const devmgr::Frame& frame, Handler handler) {
    if (openContext_ == 0) return Refuse(frame.operation, kErrorInvalidHandle, "no device is open on this connection");
    return Handle<Request>(frame, handler);
  }

  // Answers with an error and ends the connection: after garbage the stream cannot be trusted.
  bool Refuse(uint32_t operation, uint32_t error, const std::string& message) {
    devmgr::SendMessage(channel_, static_cast<Operation>(operation), devmgr::StatusReply{error, {}, message});
    return false;
  }

  devmgr::StatusReply Open(const devmgr::OpenRequest& request) {
    if (openContext_ != 0) return {kErrorInvalidParameter, {}, "a device is already open on this connection"};
    std::shared_ptr<StreamDevice> device = host_.Find(request.name);
    // An empty name tells the client that the name is no virtual port at all.
    if (device == nullptr) return {kErrorFileNotFound, {}, "no active device " + request.name};
    devmgr::StatusReply reply{0, request.name, {}};
    const uint32_t openContext = device->Open(request.access, request.shareMode, &reply.error);
    if (openContext == 0) {
      if (reply.error == 0) reply.error = kErrorOpenFailed;
      return reply;
    }
    {
      std::lock_guard lock(lock_);
      device_ = std::move(device);
      openContext_ = openContext;
      listener_ = (request.access & kWriteAccess) == 0;
      buffer_.resize(devmgr::kMaxTransfer);
    }
    if (listener_) device_->AddInputWaiter(this);
    reply.error = 0;
    return reply;
  }

  void CloseDevice() {
    if (openContext_ == 0) return;
    if (listener_) device_->RemoveInputWaiter(this);
    std::lock_guard lock(lock_);
    device_->Close(openContext_);
    openContext_ = 0;
    pending_.reset();
    roomWanted_ = false;
  }

  // A listener that got nothing waits until a writer's read brings input, at most as long as it
  // asked; a writer's read waits inside the driver.
  bool StartRead(const devmgr::Frame& frame) {
    if (openContext_ == 0) return Refuse(frame.operation, kErrorInvalidHandle, "no device is open on this connection");
    devmgr::ReadRequest request;
    std::string error;
    if (!devmgr::Decode(frame.payload, request, &error)) return Refuse(frame.operation, kErrorInvalidData, error);
    const uint32_t count = std::min(request.count, devmgr::kMaxTransfer);
    const uint32_t waitMs = std::min(request.waitMs, devmgr::kMaxReadWaitMs);
    // Only a listener's state is shared with the input's thread. A writer's read tells the
    // waiting listeners, each under its own lock, so it must not hold this one meanwhile.
    std::unique_lock lock(lock_, std::defer_lock);
    if (listener_) lock.lock();
    if (!listener_) return devmgr::SendMessage(channel_, Operation::kRead, WriterRead(count, waitMs));
    if (request.standing != 0 && count > 0) {
      pending_ = PendingRead{count, {}, true};
      lock.unlock();
      PushInput();  // what is there already
      return true;
    }
    bool nothingYet = false;
    const devmgr::TransferReply reply = ReadNow(count, &nothingYet);
    if (nothingYet && count > 0 && waitMs > 0) {
      pending_ = PendingRead{count, std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs)};
      return true;
    }
    return devmgr::SendMessage(channel_, Operation::kRead, reply);
  }

  // A writer's read that finds nothing is asked again in the driver, each time waiting as the
  // port's time-outs say, until something comes, its time is up or the client asks anything else:
  // a program that reads with a short time-out costs one wake-up a time-out, not a round trip.
  // A driver read that comes back empty at once ends it, or it would spin.
  devmgr::TransferReply WriterRead(uint32_t count, uint32_t waitMs) {
    using std::chrono::steady_clock;
    const steady_clock::time_point until = steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
      const steady_clock::time_point start = steady_clock::now();
      bool nothingYet = false;
      devmgr::TransferReply reply = ReadNow(count, &nothingYet);
      const steady_clock::time_point end = steady_clock::now();
      if (!nothingYet || end >= until || end - start < kShortestDriverWait || channel_.WaitReadable(0)) return reply;
    }
  }

  // Until a request can be received. Meanwhile a waiting read whose time is up is answered, and a
  // standing read gets what came while its client had no room for it.
  void AwaitRequest() {
    for (;;) {
      PendingRead read;
      bool wantRoom = false;
      {
        std::lock_guard lock(lock_);
        if (!pending_) return;
        read = *pending_;
        wantRoom = roomWanted_;
      }
      int timeoutMs = -1;
      if (!read.standing) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(read.until - std::chrono::steady_clock::now());
        timeoutMs = static_cast<int>(std::max<int64_t>(left.count(), 0));
      }
      switch (channel_.Wait(wantRoom, timeoutMs)) {
        case devmgr::Channel::Ready::kReceive: return;
        case devmgr::Channel::Ready::kTimeout: EndPendingRead(); return;
        case devmgr::Channel::Ready::kRoom:
          SetRoomWanted(false);
          PushInput();
          break;
        case devmgr::Channel::Ready::kNudged: break;
      }
    }
  }

  void SetRoomWanted(bool wanted) {
    std::lock_guard lock(lock_);
    roomWanted_ = wanted;
  }

  // On the input's thread, and on this one once the client has room again: answers go out only
  // with something in them and only while they can be sent without waiting. A client that lags
  // leaves the rest in the ring, where the driver tells it of a loss if it lags too far.
  void PushInput() {
    std::lock_guard lock(lock_);
    while (pending_ && openContext_ != 0 && !roomWanted_) {
      if (!channel_.HasRoom()) {
        roomWanted_ = true;
        channel_.Nudge();
        return;
      }
      bool nothingYet = false;
      const devmgr::TransferReply reply = ReadNow(pending_->count, &nothingYet);
      if (nothingYet) return;
      // Else the read found the ring empty, unless it met a loss to tell next.
      const bool maybeMore = reply.count == pending_->count || lostData_;
      if (!pending_->standing) pending_.reset();
      if (!devmgr::SendMessageAtOnce(channel_, Operation::kRead, reply) || !maybeMore) return;
    }
  }

  // On this thread: the waiting read's answer, whatever the read gives, nothing included. It ends
  // a standing read too. Sent outside the lock: the client may be slow to take it.
  void EndPendingRead() {
    devmgr::TransferReply reply;
    {
      std::lock_guard lock(lock_);
      if (!pending_ || openContext_ == 0) return;
      bool nothingYet = false;
      reply = ReadNow(pending_->count, &nothingYet);
      pending_.reset();
      roomWanted_ = false;
    }
    devmgr::SendMessage(channel_, Operation::kRead, reply);
  }

  // One that was told it lost data hears so at once: a second read would answer for the first.
  // A listener takes all the ring holds in one answer, a driver's read at a time: with one answer
  // per read it could never catch up with a writer that pulls as much a read, and it would be
  // overtaken. A loss met on the way is told with the next answer, after the bytes before it.
  devmgr::TransferReply ReadNow(uint32_t count, bool* nothingYet) {
    devmgr::TransferReply reply;
    if (lostData_) {
      lostData_ = false;
      reply.error = kErrorInvalidData;
      return reply;
    }
    int64_t result = device_->Read(openContext_, buffer_.data(), count, &reply.error);
    *nothingYet = result == 0 && (reply.error == kErrorSuccess || reply.error == kErrorNotReady);
    while (listener_ && result > 0 && static_cast<uint32_t>(result) < count) {
      uint32_t error = 0;
      const int64_t more =
          device_->Read(openContext_, buffer_.data() + result, count - static_cast<uint32_t>(result), &error);
      lostData_ = more == 0 && error == kErrorInvalidData;
      if (more <= 0) break;
      result += more;
    }
    reply.failed = result < 0 ? 1 : 0;
    reply.count = result < 0 ? 0 : static_cast<uint32_t>(result);
    reply.bytes.assign(buffer_.begin(), buffer_.begin() + reply.count);
    return reply;
  }

  devmgr::TransferReply Write(const devmgr::WriteRequest& request) {
    devmgr::TransferReply reply;
    const int64_t result =
        device_->Write(openContext_, request.bytes.data(), static_cast<uint32_t>(request.bytes.size()), &reply.error);
    reply.failed = result < 0 ? 1 : 0;
    reply.count = result < 0 ? 0 : static_cast<uint32_t>(result);
    return reply;
  }

  devmgr::IoControlReply IoControl(const devmgr::IoControlRequest& request) {
    devmgr::IoControlReply reply;
    reply.out.resize(std::min(request.outSize, devmgr::kMaxTransfer));
    reply.ok =
        device_->IoControl(openContext_, request.code, request.in.data(), static_cast<uint32_t>(request.in.size()),
                           reply.out.data(), static_cast<uint32_t>(reply.out.size()), &reply.returned, &reply.error)
            ? 1
            : 0;
    reply.returned = std::min(reply.returned, static_cast<uint32_t>(reply.out.size()));
    return reply;
  }

  devmgr::Channel& channel_;
  ConnectionHost& host_;
  std::shared_ptr<StreamDevice> device_;
  uint32_t openContext_ = 0;
  bool listener_ = false;
  // A listener's reads and their answers, on this thread and on the input's: the device read, the
  // buffer, the waiting read, the loss to tell and the sending of a read's answer.
  std::mutex lock_;
  std::vector<uint8_t> buffer_;
  std::optional<PendingRead> pending_;
  bool roomWanted_ = false;  // a standing read's client had no room: this thread pushes when it has
  bool lostData_ = false;    // a listener's loss that its next read reports
};

}  // namespace

void ServeConnection(devmgr::Channel& channel, ConnectionHost& host) { Session(channel, host).Serve(); }

}  // namespace platform
