#pragma once
// The virtual ports and the other serial ports of the system, as the warner and the driver manager
// list them: the driver keys under "Drivers" and "Drivers\BuiltIn" that look like COM port
// drivers, then the active devices, then the hidden Bluetooth port COM6: when it answers.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/reports/reporter.h"

namespace driver {

// Each text of an entry holds up to 31 characters.
inline constexpr size_t kPortTextSize = 32;

struct PortEntry {
  char portName[kPortTextSize] = {};
  char keyName[kPortTextSize] = {};
  char friendlyName[kPortTextSize] = {};
  char spare[kPortTextSize] = {};  // stays empty
  char imprint[kPortTextSize] = {};
};

// Table sizes and device-list buffers of the two programs.
inline constexpr size_t kWarnerPortTableSize = 33;
inline constexpr size_t kManagerPortTableSize = 128;
inline constexpr size_t kWarnerDeviceListChars = 8192;
inline constexpr size_t kManagerDeviceListChars = 5205;

class PortTable {
 public:
  PortTable(size_t capacity, size_t deviceListChars) : capacity_(capacity), deviceListChars_(deviceListChars) {}

  // Clears the table and fills it anew; returns the number of entries.
  size_t BuildPortTable(platform::Reporter& reporter);

  const std::vector<PortEntry>& Entries() const { return entries_; }
  size_t Capacity() const { return capacity_; }

  // Adds an entry (each text cut to 31 characters) unless the table is full; always returns 1 so that
  // an enumeration goes on.
  int AddEntry(const char* keyName, const char* portName, const char* friendlyName, const char* spare,
               const char* imprint);

 private:
  size_t capacity_;
  size_t deviceListChars_;
  std::vector<PortEntry> entries_;
};

// Called once per driver key that looks like a COM port driver: key name, port name ("COM6:"),
// friendly name, an empty text and the maker mark; returning 0 ends the enumeration.
using DriverKeyCallback = std::function<int(const char* keyName, const char* portName, const char* friendlyName,
                                            const char* spare, const char* imprint)>;

// Returns 0, or the registry error that ended the enumeration.
uint32_t EnumerateDriverKeys(const DriverKeyCallback& callback, bool filterCom);

// True when a COM port driver key gives `portName` (case-blind): a virtual port of a stream driver,
// not one of the machine's serial ports.
bool IsDriverPort(std::string_view portName);

// True when a maker mark names this system's driver ("Velmora " at its start, case-blind).
bool IsOwnImprint(const char* imprint);

}  // namespace driver
