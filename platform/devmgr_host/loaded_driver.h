#pragma once
// One stream driver instance loaded from its own copy of a library file: the entry points run on
// the calling thread and hand back the driver's error. Once unloaded, every call fails with 55
// (device missing) without touching the library again, so connections that still hold the
// instance outlive it safely.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <shared_mutex>
#include <string>
#include <vector>

#include "platform/stream_driver/stream_device.h"
#include "platform/stream_driver/stream_driver.h"

namespace platform {

class LoadedDriver : public StreamDevice {
 public:
  // dlopens `libraryPath` and looks up <prefix>_Init and the other entry points; null with *error
  // (193 not a library, 127 an entry point missing) and *message otherwise.
  static std::shared_ptr<LoadedDriver> Load(const std::string& libraryPath, const std::string& prefix, uint32_t* error,
                                            std::string* message);
  ~LoadedDriver() override;

  // COM_Init with the active key's path; false with the driver's error (55 when it left none).
  // A failed instance is unloaded.
  bool Init(const std::string& activeKeyPath, uint32_t* error);
  // COM_Deinit (after a successful Init) and dlclose; waits for calls in progress. Idempotent.
  void Unload();

  uint32_t Open(uint32_t access, uint32_t shareMode, uint32_t* error) override;
  void Close(uint32_t openContext) override;
  int64_t Read(uint32_t openContext, void* buffer, uint32_t count, uint32_t* error) override;
  int64_t Write(uint32_t openContext, const void* data, uint32_t size, uint32_t* error) override;
  bool IoControl(uint32_t openContext, uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                 uint32_t outSize, uint32_t* returned, uint32_t* error) override;
  uint64_t InputSequence() const override;
  bool WaitForInput(uint64_t seen, uint32_t timeoutMs) override;
  void AddInputWaiter(InputWaiter* waiter) override;
  void RemoveInputWaiter(InputWaiter* waiter) override;

 private:
  struct EntryPoints {
    StreamInitFn init = nullptr;
    StreamDeinitFn deinit = nullptr;
    StreamOpenFn open = nullptr;
    StreamCloseFn close = nullptr;
    StreamReadFn read = nullptr;
    StreamWriteFn write = nullptr;
    StreamIoControlFn ioControl = nullptr;
  };

  LoadedDriver(void* library, const EntryPoints& entry) : library_(library), entry_(entry) {}
  void BumpInputSequence();
  void TellWaiters();
  bool IsWriter(uint32_t openContext);

  void* library_;
  EntryPoints entry_;
  uint32_t deviceContext_ = 0;

  // Entry calls share it; Unload takes it alone, so the library is never closed under a call.
  std::shared_mutex callLock_;
  std::atomic<bool> gone_{false};

  mutable std::mutex inputLock_;
  std::condition_variable inputArrived_;
  uint64_t inputSequence_ = 0;
  std::set<uint32_t> writers_;  // open contexts with write access

  std::mutex waitersLock_;  // held while the waiters are told
  std::vector<InputWaiter*> waiters_;
};

}  // namespace platform
