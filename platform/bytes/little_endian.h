#pragma once
// Little-endian fields of fixed file records (.snt, the navigation files), read and written byte
// by byte so that no struct is ever cast onto file bytes.

#include <cstdint>

namespace platform {

inline void PutLe16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}
inline void PutLe24(uint8_t* at, uint32_t value) {
  PutLe16(at, static_cast<uint16_t>(value));
  at[2] = static_cast<uint8_t>(value >> 16);
}
inline void PutLe32(uint8_t* at, uint32_t value) {
  PutLe16(at, static_cast<uint16_t>(value));
  PutLe16(at + 2, static_cast<uint16_t>(value >> 16));
}

// Appended to a growing record (a std::string or a byte vector).
template <typename Bytes>
void AppendLe16(Bytes& bytes, uint16_t value) {
  bytes.push_back(static_cast<typename Bytes::value_type>(value & 0xFF));
  bytes.push_back(static_cast<typename Bytes::value_type>(value >> 8));
}
template <typename Bytes>
void AppendLe32(Bytes& bytes, uint32_t value) {
  AppendLe16(bytes, static_cast<uint16_t>(value));
  AppendLe16(bytes, static_cast<uint16_t>(value >> 16));
}

inline uint16_t GetLe16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }
inline uint32_t GetLe32(const uint8_t* at) {
  return static_cast<uint32_t>(GetLe16(at)) | (static_cast<uint32_t>(GetLe16(at + 2)) << 16);
}

}  // namespace platform
