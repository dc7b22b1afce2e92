#pragma once
// One loaded stream driver instance as the device manager's threads use it: each call runs the
// driver's entry point on the calling thread and returns the driver's error with the result.

#include <cstddef>
#include <cstdint>

namespace platform {

// A listener's read that waits for input, answered on the thread that brought the input: one
// thread sends to every waiting listener, instead of waking a thread for each of them.
class InputWaiter {
 public:
  // Runs on the thread of a writer's read that delivered bytes (and when the device goes away),
  // one waiter at a time; must not block, and must not add or remove waiters.
  virtual void InputArrived() = 0;

 protected:
  ~InputWaiter() = default;
};

class StreamDevice {
 public:
  virtual ~StreamDevice() = default;

  // COM_Open: an open context (1..8 for the port driver), or 0 with *error set.
  virtual uint32_t Open(uint32_t access, uint32_t shareMode, uint32_t* error) = 0;
  // COM_Close.
  virtual void Close(uint32_t openContext) = 0;
  // COM_Read: bytes delivered (0 or more) or -1; *error is what the driver left (13 for a reader
  // that was overtaken, 21 when nothing is open behind the port, ...), also with a count >= 0.
  virtual int64_t Read(uint32_t openContext, void* buffer, uint32_t count, uint32_t* error) = 0;
  // COM_Write: bytes written, 0, or -1.
  virtual int64_t Write(uint32_t openContext, const void* data, uint32_t size, uint32_t* error) = 0;
  // COM_IOControl: true or false; *returned gets the driver's returned length.
  virtual bool IoControl(uint32_t openContext, uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                         uint32_t outSize, uint32_t* returned, uint32_t* error) = 0;

  // Only a reader with write access pulls bytes from the input device into the port, so a
  // listener that got nothing waits for the next such read instead of asking again and again:
  // InputSequence() changes after every read of an open context with write access that delivered
  // bytes or failed (and when one opens): an idle writer's empty reads wake no listener.
  // WaitForInput returns when it differs from `seen` or after timeoutMs (false).
  virtual uint64_t InputSequence() const = 0;
  virtual bool WaitForInput(uint64_t seen, uint32_t timeoutMs) = 0;
  // The same input told to a waiter. Removal returns after a call in progress for it.
  virtual void AddInputWaiter(InputWaiter* waiter) = 0;
  virtual void RemoveInputWaiter(InputWaiter* waiter) = 0;
};

}  // namespace platform
