#include "driver/stream/sercast_driver.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "driver/block/trace_text.h"
#include "driver/registry/driver_keys.h"
#include "driver/registry/input_device.h"
#include "platform/bytes/little_endian.h"
#include "platform/clock/clock.h"
#include "platform/errors/errors.h"

namespace driver {

namespace {

constexpr uint8_t kIdentifyCode[4] = {'V', 'e', 'l', '1'};
constexpr uint8_t kIdentifyAnswer[4] = {'1', 'V', 'e', 'l'};
constexpr uint32_t kRecordLength = 10;  // a traffic record: '?' and nine bytes
constexpr uint32_t kPacingThresholdMs = 24;

template <typename Result>
Result Finish(Result result, uint32_t error) {
  platform::SetLastError(error);
  return result;
}

bool IsIdentification(uint32_t code, const uint8_t* in, uint32_t inSize, const uint8_t* out, uint32_t outSize) {
  if (code != platform::GetLe32(kIdentifyCode) || in == nullptr || inSize < 4 || out == nullptr || outSize < 4) {
    return false;
  }
  return std::memcmp(in, kIdentifyAnswer, 4) == 0 && std::all_of(in + 4, in + inSize, [](uint8_t b) { return b == 0; });
}

unsigned Tick() { return platform::GetTickCount(); }

}  // namespace

SercastDriver::SercastDriver(TraceSink& trace) : trace_(trace) {}

SercastDriver::~SercastDriver() { Deinit(kDeviceContext); }

SercastDriver::Slot* SercastDriver::OpenSlot(uint32_t openContext) {
  if (openContext < 1 || openContext > kSlotCount || !slots_[openContext - 1].inUse) return nullptr;
  return &slots_[openContext - 1];
}

bool SercastDriver::InputOpen() {
  std::shared_lock use(inputUse_);
  return input_ != nullptr;
}

// ---- load and unload

uint32_t SercastDriver::Init(const char* activeKeyPath) {
  TraceText(trace_, "COM_Init+: InitParm 0x%x %s\n", static_cast<unsigned>(reinterpret_cast<uintptr_t>(activeKeyPath)),
            activeKeyPath != nullptr ? activeKeyPath : "");
  {
    std::lock_guard lock(state_);
    for (Slot& slot : slots_) {
      std::lock_guard slotLock(slot.use);
      if (slot.client.Attached()) slot.client.Destroy(trace_);
      slot.inUse = slot.writer = slot.filterEnabled = slot.filterInRecord = false;
      slot.filterCount = 0;
    }
    CloseInputDevice();
  }
  config_ = DriverConfig{};
  config_.registryName = kDriverBaseName;
  config_.inputName = config_.outputName = "COMx:";
  pacingBytes_ = 0;
  if (!GetInputDeviceFromReg(activeKeyPath, config_, &trace_)) {
    TraceText(trace_, "COM_Init-: Returns 0\n");
    return Finish(0u, platform::kErrorDevNotExist);
  }
  TraceText(trace_, "COM_Init: Input Device found.\n");
  activeKeyPath_ = std::string(activeKeyPath).substr(0, 259);
  uint32_t error = server_.CreateServerWrite(block_, config_.registryName, trace_);
  if (error == platform::kErrorSuccess) error = server_.CreateServerRead(block_, config_.registryName, trace_);
  if (error != platform::kErrorSuccess) {
    TraceText(trace_, "COM_Init-: returns with Error %d, hDC 0x%x\n", error, 0u);
    return Finish(0u, error);
  }
  TraceText(trace_, "COM_Init-: returns hDC 0x%x\n", kDeviceContext);
  return Finish(kDeviceContext, platform::kErrorSuccess);
}

bool SercastDriver::PreDeinit(uint32_t deviceContext) {
  TraceText(trace_, "COM_PreDeinit+: hDC 0x%x\n", deviceContext);
  TraceText(trace_, "COM_PreDeinit-");
  return Finish(true, platform::kErrorSuccess);
}

bool SercastDriver::Deinit(uint32_t deviceContext) {
  TraceText(trace_, "COM_Deinit+: hDC 0x%x\n", deviceContext);
  CloseAllInputDevices();
  server_.DestroyServerWrite(trace_);
  server_.DestroyServerRead(trace_);
  TraceText(trace_, "COM_Deinit-\n");
  return Finish(true, platform::kErrorSuccess);
}

// The slots stay marked as they are: a handle the unload took away reads 55 from now on.
void SercastDriver::CloseAllInputDevices() {
  TraceText(trace_, "CloseAllInputDevices+: hDC 0x%x\n", kDeviceContext);
  std::lock_guard lock(state_);
  for (Slot& slot : slots_) {
    std::lock_guard slotLock(slot.use);
    if (slot.client.Attached()) slot.client.Destroy(trace_);
  }
  server_.SetDeviceState(DeviceState::kReady);
  CloseInputDevice();
  TraceText(trace_, "CloseAllInputDevices: Done.\n");
}

// ---- open and close

uint32_t SercastDriver::Open(uint32_t deviceContext, uint32_t access, uint32_t shareMode) {
  TraceText(trace_, "COM_Open+: hDC 0x%x, Access 0x%x, ShareMode 0x%x, Ti %d\n", deviceContext, access, shareMode,
            Tick());
  TraceText(trace_, "DispatchOpenInputDevice+: hDC 0x%x, Access 0x%x, Share 0x%x\n", deviceContext, access, shareMode);
  std::lock_guard lock(state_);
  // The slot first: a ninth open must not leave an input device open that no handle closes.
  const auto free = std::find_if(slots_.begin(), slots_.end(), [](const Slot& s) { return !s.inUse; });
  if (free == slots_.end()) {
    TraceText(trace_, "DispatchOpenInputDevice-: Read Only, returns Error %d\n", platform::kErrorTooManyOpenFiles);
    return Finish(0u, platform::kErrorTooManyOpenFiles);
  }
  Slot& slot = *free;
  const uint32_t number = static_cast<uint32_t>(free - slots_.begin()) + 1;
  const bool writer = (access & platform::kGenericWrite) != 0;
  uint32_t error = slot.client.Create(block_, config_.registryName, number, trace_);
  if (error == platform::kErrorSuccess && writer) {
    error = OpenInputDevice();
    if (error != platform::kErrorSuccess) slot.client.Destroy(trace_);
  } else if (error == platform::kErrorSuccess) {
    TraceText(trace_, "OpenInputDevice: %s, access read only, no physical open.\n", config_.inputName.c_str());
  }
  if (error != platform::kErrorSuccess) {
    TraceText(trace_, "DispatchOpenInputDevice-: returns Error %d\n", error);
    return Finish(0u, error);
  }
  slot.inUse = true;
  slot.writer = writer;
  slot.filterEnabled = writer && config_.nmeaFilter != 0;
  slot.filterInRecord = false;
  slot.filterCount = 0;
  TraceText(trace_, "DispatchOpenInputDevice-: Returns hOC 0x%x\n", number);
  TraceText(trace_, "COM_Open-: returns hOC 0x%x\n", number);
  return Finish(number, platform::kErrorSuccess);
}

uint32_t SercastDriver::OpenInputDevice() {
  const char* name = config_.inputName.c_str();
  if (InputOpen()) {
    TraceText(trace_, "OpenInputDevice: %s already open.\n", name);
    return platform::kErrorSuccess;
  }
  auto device = platform::OpenDevice(config_.inputName, platform::kGenericRead | platform::kGenericWrite,
                                     platform::kFileShareRead | platform::kFileShareWrite);
  if (device == nullptr) {
    const uint32_t error = platform::GetLastError();
    TraceText(trace_, "OpenInputDevice: Failed to open %s, error %d\n", name, error);
    TraceText(trace_, "OpenInputDevice-: Returns FALSE\n");
    return error != platform::kErrorSuccess ? error : platform::kErrorDevNotExist;
  }
  {
    std::unique_lock use(inputUse_);
    input_ = std::move(device);
  }
  TraceText(trace_, "OpenInputDevice: Opened: %s.\n", name);
  server_.SetDeviceState(DeviceState::kInputOpen);
  // What the ring held from before is stale. Every handle drops it now, not at its next read, so
  // that a listener still receives what a writer reads before the listener asks again.
  ResyncAll();
  return platform::kErrorSuccess;
}

void SercastDriver::CloseInputDevice() {
  std::unique_lock use(inputUse_);
  input_.reset();
}

void SercastDriver::ResyncAll() {
  for (Slot& slot : slots_) slot.client.Resync();
}

bool SercastDriver::Close(uint32_t openContext) {
  TraceText(trace_, "COM_Close+: hOC 0x%x, Ti %d\n", openContext, Tick());
  std::lock_guard lock(state_);
  Slot* slot = OpenSlot(openContext);
  if (slot == nullptr) return Finish(false, platform::kErrorInvalidHandle);
  TraceText(trace_, "CloseInputClient+: hOC 0x%x\n", openContext);
  bool wasWriter = false;
  {
    std::lock_guard slotLock(slot->use);
    slot->client.Destroy(trace_);
    slot->inUse = false;
    wasWriter = std::exchange(slot->writer, false);
  }
  if (wasWriter) {
    const auto writers = std::count_if(slots_.begin(), slots_.end(), [](const Slot& s) { return s.writer; });
    TraceText(trace_, "CloseInputClient: hOC 0x%x Other writer open %d\n", openContext, static_cast<int>(writers));
    if (writers == 0) {
      server_.SetDeviceState(DeviceState::kReady);
      CloseInputDevice();
    }
  }
  TraceText(trace_, "CloseInputClient- hOC 0x%x Done.\n", openContext);
  TraceText(trace_, "COM_Close- : hOC 0x%x returns TRUE\n", openContext);
  return Finish(true, platform::kErrorSuccess);
}

// ---- reading

int32_t SercastDriver::Read(uint32_t openContext, void* buffer, uint32_t count) {
  Slot* slot = OpenSlot(openContext);
  if (slot == nullptr) return Finish(-1, platform::kErrorInvalidHandle);
  std::lock_guard slotLock(slot->use);
  if (slot->writer && !InputOpen()) return Finish(-1, platform::kErrorDevNotExist);
  const int32_t limited = static_cast<int32_t>(std::min(count, config_.inputIsFile ? kFileReadLimit : kReadLimit));
  auto* bytes = static_cast<uint8_t*>(buffer);
  if (slot->filterEnabled) return FilteredRead(*slot, bytes, limited);
  const Delivery delivery = ClientRead(*slot, bytes, limited);
  return Finish(delivery.count, delivery.error);
}

SercastDriver::Delivery SercastDriver::ClientRead(Slot& slot, uint8_t* buffer, int32_t count) {
  int32_t delivered = 0;
  const int result = slot.client.Read(buffer, count, &delivered);
  if (!slot.writer) return {SystemError(result), delivered};
  if (result != kBlockOk) delivered = 0;  // a writer pulls the input whatever the ring said
  if (delivered >= count) return {platform::kErrorSuccess, delivered};
  return ReadInput(slot, buffer, count, delivered);
}

SercastDriver::Delivery SercastDriver::ReadInput(Slot& slot, uint8_t* buffer, int32_t count, int32_t delivered) {
  std::lock_guard readLock(inputRead_);
  std::array<uint8_t, kReadLimit> bytes;
  size_t got = 0;
  uint32_t error = platform::kErrorDevNotExist;
  bool read = false;
  {
    std::shared_lock use(inputUse_);
    if (input_ != nullptr) {
      read = input_->Read(bytes.data(), static_cast<size_t>(count - delivered), &got);
      error = read ? platform::kErrorSuccess : platform::GetLastError();
    }
  }
  if (!read || got == 0) return {delivered == 0 ? error : platform::kErrorSuccess, delivered};
  server_.WriteServer(bytes.data(), static_cast<int32_t>(got));
  int32_t more = 0;
  if (slot.client.Read(buffer + delivered, static_cast<int32_t>(got), &more) == kBlockOk) delivered += more;
  Pace(got);
  return {platform::kErrorSuccess, delivered};
}

// A file arrives at about the pace its baud rate would give (ten bits a byte). The pace follows
// the bytes taken from the file, not the bytes handed out: every handle receives each byte, and
// counting them all would slow the file down with each program that listens.
void SercastDriver::Pace(size_t appended) {
  if (!config_.inputIsFile || config_.inBaud == 0) return;
  pacingBytes_ += appended;
  const uint64_t delayMs = pacingBytes_ * 10000 / config_.inBaud;
  if (delayMs <= kPacingThresholdMs) return;
  pacing_.Wait(static_cast<uint32_t>(delayMs));
  pacingBytes_ = 0;
}

// Writers of a port with the filter on never see the traffic records a combined receiver mixes
// into its output: each '?' and the nine bytes after it, also when a record spans two reads.
int32_t SercastDriver::FilteredRead(Slot& slot, uint8_t* buffer, int32_t count) {
  int32_t produced = 0;
  uint32_t error = platform::kErrorSuccess;
  while (produced < count) {
    const Delivery delivery = ClientRead(slot, slot.scratch.data(), count - produced);
    error = delivery.error;
    if (error != platform::kErrorSuccess || delivery.count <= 0) break;
    for (int32_t i = 0; i < delivery.count; ++i) {
      const uint8_t byte = slot.scratch[i];
      if (!slot.filterInRecord && byte != '?') {
        buffer[produced++] = byte;
        continue;
      }
      if (!slot.filterInRecord) slot.filterCount = 0;
      slot.filterInRecord = ++slot.filterCount < kRecordLength;
    }
  }
  return Finish(produced, produced > 0 ? platform::kErrorSuccess : error);
}

// ---- writing and control

int32_t SercastDriver::Write(uint32_t openContext, const void* data, uint32_t count) {
  if (OpenSlot(openContext) == nullptr) return Finish(-1, platform::kErrorInvalidHandle);
  if (config_.inputIsFile) return Finish(static_cast<int32_t>(count), platform::kErrorSuccess);
  std::shared_lock use(inputUse_);
  if (input_ == nullptr) return Finish(0, platform::kErrorNotReady);
  size_t written = 0;
  if (!input_->Write(data, count, &written)) return -1;  // the device's error stays
  return Finish(static_cast<int32_t>(written), platform::kErrorSuccess);
}

int32_t SercastDriver::Seek(uint32_t, int32_t, uint16_t) { return Finish(-1, platform::kErrorNotSupported); }

bool SercastDriver::IoControl(uint32_t openContext, uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                              uint32_t outSize, uint32_t* returned) {
  const Slot* slot = OpenSlot(openContext);
  if (slot == nullptr) return Finish(false, platform::kErrorInvalidHandle);
  if (IsIdentification(code, in, inSize, out, outSize)) {
    std::memcpy(out, kIdentifyAnswer, sizeof kIdentifyAnswer);
    if (returned != nullptr) *returned = sizeof kIdentifyAnswer;
    return Finish(true, platform::kErrorSuccess);
  }
  if (config_.inputIsFile) return Finish(true, platform::kErrorSuccess);
  if (returned != nullptr) *returned = 0;
  std::shared_lock use(inputUse_);
  if (input_ == nullptr) {
    // A listener's settings are accepted and ignored; a writer should have an input behind it.
    return slot->writer ? Finish(false, platform::kErrorNotReady) : Finish(true, platform::kErrorSuccess);
  }
  size_t length = 0;
  const bool done = input_->IoControl(code, in, inSize, out, outSize, &length);
  if (returned != nullptr) *returned = static_cast<uint32_t>(length);
  return done ? Finish(true, platform::kErrorSuccess) : false;  // a failure keeps the device's error
}

// ---- power

void SercastDriver::PowerUp(uint32_t) {
  std::lock_guard lock(state_);
  // Every handle skips what the ring held before the power cycle, at once for the same reason as
  // when the input opens.
  if (InputOpen()) ResyncAll();
  platform::SetLastError(platform::kErrorSuccess);
}

// Nothing closes at power-down; what the ring holds is dropped when the power comes back.
void SercastDriver::PowerDown(uint32_t) { platform::SetLastError(platform::kErrorSuccess); }

}  // namespace driver
