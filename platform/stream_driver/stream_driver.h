#pragma once
// What the device manager expects of a stream driver library: the entry points it looks up by
// name (the driver key's Prefix, '_', the entry's name: "COM_Open") and calls, and how a driver
// hands back its error. Linux has no per-thread "last error" shared between a program and the
// libraries it loads, but every library of a process shares the C library's errno: after each
// call the driver leaves its error number (the platform's numbers, 0 for none) in errno, and the
// device manager reads it at once on the same thread.

#include <cstdint>

extern "C" {

// Device context from COM_Init (0 = failure); open context from COM_Open (0 = failure).
using StreamInitFn = uint32_t (*)(const char* activeKeyPath);
using StreamDeinitFn = int (*)(uint32_t deviceContext);  // also COM_PreDeinit
using StreamPowerFn = void (*)(uint32_t deviceContext);  // COM_PowerUp, COM_PowerDown
using StreamOpenFn = uint32_t (*)(uint32_t deviceContext, uint32_t access, uint32_t shareMode);
using StreamCloseFn = int (*)(uint32_t openContext);
// Bytes read or written; -1 as a 32-bit value (0xFFFFFFFF) on failure.
using StreamReadFn = uint32_t (*)(uint32_t openContext, void* buffer, uint32_t count);
using StreamWriteFn = uint32_t (*)(uint32_t openContext, const void* buffer, uint32_t count);
using StreamSeekFn = uint32_t (*)(uint32_t openContext, int32_t amount, uint16_t method);
using StreamIoControlFn = int (*)(uint32_t openContext, uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                                  uint32_t outSize, uint32_t* returned);
}

namespace platform {

inline constexpr uint32_t kStreamFailed = 0xFFFFFFFFu;  // COM_Read / COM_Write / COM_Seek failure

}  // namespace platform
