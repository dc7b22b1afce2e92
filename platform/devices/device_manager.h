#pragma once
// The device manager as the programs see it: stream drivers activated from their driver keys
// (below HKEY_LOCAL_MACHINE) become devices such as "COM6:" that OpenDevice opens like any port.
// The drivers run in the daemon devmgrd of the current system root, which the first activation
// starts when none runs (found through $DW_DEVMGRD, beside the calling program, in the build
// tree, then in PATH).
//
// Calls that fail return false (or nothing) with the error number as the thread's last error and,
// where asked, a text that says more; a daemon that went away in the middle of a call gives 55.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct ActiveDevice {
  std::string name;                // "COM6:"
  std::string key;                 // its driver key below HKLM
  std::vector<std::string> links;  // the pseudo-terminals that offer it to other programs
};

// Loads the driver of `keyPath` and returns its device name. Refusals: 2404 when the name is
// already active, 2 for a missing key or library, 127 for a library without the entry points,
// the driver's own error when its Init fails.
// *handle gets the device handle (the Hnd of its Drivers\Active key).
std::optional<std::string> ActivateDevice(std::string_view keyPath, std::string* message = nullptr,
                                          uint32_t* handle = nullptr);
bool DeactivateDevice(std::string_view name, std::string* message = nullptr);
// Unloads the device whose active key holds `handle` as its Hnd; 6 (invalid handle) when none does.
bool DeactivateDeviceHandle(uint32_t handle, std::string* message = nullptr);
// The active devices; empty when no daemon runs (nothing is started for asking).
std::optional<std::vector<ActiveDevice>> ListDevices();
// Stops the daemon and waits until it has ended; true also when none runs.
bool StopDeviceManager(std::string* message = nullptr);
bool DeviceManagerRunning();

}  // namespace platform
