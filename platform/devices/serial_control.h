#pragma once
// The serial API as control requests, with the handheld platform's codes and block layouts, so
// that a virtual port can pass them on to the real one unchanged.

#include <cstddef>
#include <cstdint>

namespace platform {

// The device control block: 28 bytes in this layout.
struct SerialSettings {
  uint32_t length = sizeof(SerialSettings);
  uint32_t baudRate = 9600;
  uint32_t flags = kBinary;  // the bits below
  uint16_t reserved = 0;
  uint16_t xonLimit = 0;
  uint16_t xoffLimit = 0;
  uint8_t byteSize = 8;
  uint8_t parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  uint8_t stopBits = 0;  // 0 one, 1 one and a half, 2 two
  char xonChar = 0x11;
  char xoffChar = 0x13;
  char errorChar = 0;
  char eofChar = 0;
  char eventChar = 0;
  uint16_t reserved1 = 0;

  // Flag bits of `flags`.
  static constexpr uint32_t kBinary = 0x0001;
  static constexpr uint32_t kParity = 0x0002;
  static constexpr uint32_t kOutxCtsFlow = 0x0004;
  static constexpr uint32_t kOutxDsrFlow = 0x0008;
  static constexpr uint32_t kDtrControlMask = 0x0030;  // 0 disable, 1 enable, 2 handshake
  static constexpr uint32_t kDsrSensitivity = 0x0040;
  static constexpr uint32_t kTxContinueOnXoff = 0x0080;
  static constexpr uint32_t kOutX = 0x0100;
  static constexpr uint32_t kInX = 0x0200;
  static constexpr uint32_t kErrorChar = 0x0400;
  static constexpr uint32_t kNull = 0x0800;
  static constexpr uint32_t kRtsControlMask = 0x3000;  // 0 disable, 1 enable, 2 handshake, 3 toggle
  static constexpr uint32_t kAbortOnError = 0x4000;
};
static_assert(sizeof(SerialSettings) == 28);

// Time-outs in milliseconds, 20 bytes. A read waits at most
// readTotalMultiplier * bytes + readTotalConstant in all and returns early when readInterval
// passes between two bytes; all three 0 means wait for the whole count. readInterval 0xFFFFFFFF
// with both totals 0 returns at once with what is there.
struct SerialTimeouts {
  uint32_t readInterval = 0;
  uint32_t readTotalMultiplier = 0;
  uint32_t readTotalConstant = 0;
  uint32_t writeTotalMultiplier = 0;
  uint32_t writeTotalConstant = 0;
};
static_assert(sizeof(SerialTimeouts) == 20);

// How long a read of `bytes` under `t` waits for its first byte: 0 not at all, -1 without limit.
// readInterval and readTotalMultiplier 0xFFFFFFFF with a constant between wait the constant for
// the first byte and then take what is there.
int64_t FirstByteWaitMs(const SerialTimeouts& t, size_t bytes);

constexpr uint32_t SerialControlCode(uint32_t function) { return (0x1Bu << 16) | (function << 2); }

// Requests (in: what the request reads from the in buffer; out: what it writes).
inline constexpr uint32_t kIoctlSerialSetDtr = SerialControlCode(2);
inline constexpr uint32_t kIoctlSerialClrDtr = SerialControlCode(3);
inline constexpr uint32_t kIoctlSerialSetRts = SerialControlCode(4);
inline constexpr uint32_t kIoctlSerialClrRts = SerialControlCode(5);
inline constexpr uint32_t kIoctlSerialGetModemStatus = SerialControlCode(12);  // out: uint32 kModem* bits
inline constexpr uint32_t kIoctlSerialSetTimeouts = SerialControlCode(14);     // in: SerialTimeouts
inline constexpr uint32_t kIoctlSerialGetTimeouts = SerialControlCode(15);     // out: SerialTimeouts
inline constexpr uint32_t kIoctlSerialPurge = SerialControlCode(16);           // in: uint32 kPurge* bits
inline constexpr uint32_t kIoctlSerialGetDcb = SerialControlCode(19);          // out: SerialSettings
inline constexpr uint32_t kIoctlSerialSetDcb = SerialControlCode(20);          // in: SerialSettings

inline constexpr uint32_t kPurgeTxAbort = 0x1;
inline constexpr uint32_t kPurgeRxAbort = 0x2;
inline constexpr uint32_t kPurgeTxClear = 0x4;
inline constexpr uint32_t kPurgeRxClear = 0x8;

inline constexpr uint32_t kModemCtsOn = 0x10;
inline constexpr uint32_t kModemDsrOn = 0x20;
inline constexpr uint32_t kModemRingOn = 0x40;
inline constexpr uint32_t kModemRlsdOn = 0x80;

// Helpers over IoControl for the common requests.
class Device;
bool GetSerialSettings(Device& device, SerialSettings& settings);
bool SetSerialSettings(Device& device, const SerialSettings& settings);
bool GetSerialTimeouts(Device& device, SerialTimeouts& timeouts);
bool SetSerialTimeouts(Device& device, const SerialTimeouts& timeouts);

}  // namespace platform
