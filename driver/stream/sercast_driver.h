#pragma once
// The virtual port driver behind the device manager's entry points: one instance of the driver
// with its configuration, its input device, its block and the eight open handles (slots 1..8).
// Every member runs on the calling program's thread and leaves its error as the thread's last
// error (platform::GetLastError()).

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "driver/block/port_block.h"
#include "driver/registry/input_device.h"
#include "platform/devices/device.h"
#include "platform/sync/event.h"

namespace driver {

inline constexpr uint32_t kDeviceContext = 256;
inline constexpr uint32_t kSlotCount = 8;
inline constexpr uint32_t kReadLimit = 4096;
inline constexpr uint32_t kFileReadLimit = 160;

class SercastDriver {
 public:
  explicit SercastDriver(TraceSink& trace);
  ~SercastDriver();
  SercastDriver(const SercastDriver&) = delete;
  SercastDriver& operator=(const SercastDriver&) = delete;

  // kDeviceContext, or 0 (55) when the registry lacks what the driver needs.
  uint32_t Init(const char* activeKeyPath);
  bool PreDeinit(uint32_t deviceContext);
  bool Deinit(uint32_t deviceContext);
  // A slot 1..8, or 0: 4 when all are taken, the device's error when the input cannot be opened.
  uint32_t Open(uint32_t deviceContext, uint32_t access, uint32_t shareMode);
  bool Close(uint32_t openContext);
  // Bytes delivered, or -1.
  int32_t Read(uint32_t openContext, void* buffer, uint32_t count);
  int32_t Write(uint32_t openContext, const void* data, uint32_t count);
  int32_t Seek(uint32_t openContext, int32_t amount, uint16_t method);
  bool IoControl(uint32_t openContext, uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                 uint32_t outSize, uint32_t* returned);
  void PowerUp(uint32_t deviceContext);
  void PowerDown(uint32_t deviceContext);

 private:
  struct Slot {
    std::mutex use;  // a call on the slot against the unload taking its client away
    bool inUse = false;
    bool writer = false;
    bool filterEnabled = false;
    bool filterInRecord = false;
    uint32_t filterCount = 0;
    CClient client;
    std::array<uint8_t, kReadLimit> scratch{};
  };
  struct Delivery {
    uint32_t error = 0;
    int32_t count = 0;
  };

  Slot* OpenSlot(uint32_t openContext);
  uint32_t OpenInputDevice();
  void CloseInputDevice();
  void CloseAllInputDevices();
  void ResyncAll();
  Delivery ClientRead(Slot& slot, uint8_t* buffer, int32_t count);
  Delivery ReadInput(Slot& slot, uint8_t* buffer, int32_t count, int32_t delivered);
  int32_t FilteredRead(Slot& slot, uint8_t* buffer, int32_t count);
  void Pace(size_t delivered);
  bool InputOpen();

  TraceSink& trace_;
  DriverConfig config_;
  std::string activeKeyPath_;
  PortBlock block_;
  CServer server_;
  std::array<Slot, kSlotCount> slots_;
  // Guards the slots' use and writer flags and the opening and closing of the input device.
  std::mutex state_;
  // The input device: shared by every call that uses it, exclusive to open and close it.
  std::unique_ptr<platform::Device> input_;
  std::shared_mutex inputUse_;
  // One writer at a time reads the input and appends what it got, so the block keeps the input's
  // order when several programs hold the port with write access.
  std::mutex inputRead_;
  uint64_t pacingBytes_ = 0;  // under inputRead_
  platform::Event pacing_{platform::EventReset::kAuto};
};

}  // namespace driver
