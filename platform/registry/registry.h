#pragma once
// The registry the handheld programs keep their configuration in: two hives (machine and user),
// each a SQLite database under the system root, with keys whose names compare without regard to
// case and typed values. Several processes may use a hive at once: every call is one transaction;
// a hive that another process is writing is waited for up to kRegistryBusyTimeoutMs, then the call
// fails with 32 (sharing violation). Readers are not held up by a writer (write-ahead log). Each
// open RegistryKey holds a connection of its own; one key may be used by several threads.
//
// All calls return a system error number (0 = success) and leave it as the thread's last error.
// Key paths use '\' (or '/') between levels, e.g. "Drivers\\Active\\12"; empty levels (a leading,
// doubled or trailing separator) are ignored. Key and value names compare with the ASCII letters
// folded to one case (other bytes exactly); the name keeps the case it was first stored with.
// Calls on a key that is not open fail with 6 (invalid handle); calls on an open key that has
// been deleted meanwhile (by this or another process) fail with 1018 (key deleted), even when a key
// of the same path has been created again since.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class Hive { kLocalMachine, kCurrentUser };

inline constexpr uint32_t kRegistryBusyTimeoutMs = 5000;

// Value types with the handheld platform's numbers (they show up in trace texts).
enum class ValueType : uint32_t { kNone = 0, kString = 1, kBinary = 3, kDword = 4 };

struct RegistryValue {
  ValueType type = ValueType::kNone;
  std::vector<uint8_t> data;  // a string is stored as its UTF-8 bytes without a terminator
};

class RegistryKey {
 public:
  RegistryKey();
  ~RegistryKey();
  RegistryKey(RegistryKey&&) noexcept;
  RegistryKey& operator=(RegistryKey&&) noexcept;

  // Opens an existing key; 2 (file not found) when it or a level above it is missing. An empty
  // path opens the hive's root.
  static uint32_t Open(Hive hive, std::string_view path, RegistryKey& key);
  // Opens the key, creating every missing level on the way; *created tells whether the last level
  // was new.
  static uint32_t Create(Hive hive, std::string_view path, RegistryKey& key, bool* created = nullptr);
  // Deletes a key with everything below it; 2 when it does not exist, 5 for the hive's root.
  static uint32_t DeleteKey(Hive hive, std::string_view path);

  bool IsOpen() const;
  void Close();
  // The key's own path as it was stored when created (original case), e.g. "Drivers\\SercastNG".
  const std::string& Path() const;

  // Enumeration by index from 0, in the order of the names without regard to case; 259 (no more
  // items) past the end. Keys or values added or removed meanwhile shift the indexes, as on the
  // handheld.
  uint32_t EnumSubkey(uint32_t index, std::string& name) const;
  uint32_t EnumValue(uint32_t index, std::string& name, ValueType* type = nullptr) const;

  // Queries: 2 when the value is missing; 13 (invalid data) when it has another type than asked,
  // with *actualType telling which one.
  uint32_t QueryValue(std::string_view name, RegistryValue& value) const;
  uint32_t QueryString(std::string_view name, std::string& value, ValueType* actualType = nullptr) const;
  uint32_t QueryDword(std::string_view name, uint32_t& value, ValueType* actualType = nullptr) const;

  // Creates or overwrites a value. 87 for a type other than the four above or a DWORD that is not
  // 4 bytes.
  uint32_t SetValue(std::string_view name, const RegistryValue& value);
  uint32_t SetString(std::string_view name, std::string_view value);
  uint32_t SetDword(std::string_view name, uint32_t value);
  uint32_t SetBinary(std::string_view name, const std::vector<uint8_t>& value);
  // 2 when the value does not exist.
  uint32_t DeleteValue(std::string_view name);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The database file of a hive under the system root (for tools and tests).
std::string HiveFilePath(Hive hive);

// What a user needs after a call on `hive` failed with 1015: which file is damaged and how to start
// afresh. The error number alone names neither.
std::string DamagedHiveAdvice(Hive hive);

// Tests only: the busy time-out of connections opened from now on (kRegistryBusyTimeoutMs by
// default), so that a test of a locked hive does not wait five seconds.
void SetRegistryBusyTimeoutForTest(uint32_t milliseconds);

}  // namespace platform
