#pragma once
// Which Linux device stands behind a handheld port name such as "COM4:". Defaults come from the
// devices that exist (a fixed number per device, so that a port keeps its name across plugging);
// entries in the registry (machine hive, key kPortMapKey, string values "COM4:" = "/dev/pts/3")
// win over the defaults and may name any device, a pseudo-terminal included.
//
// Defaults: /dev/ttyS0..1 -> COM1..COM2 (only UARTs that are there: /sys/class/tty/ttySn/type is
// not 0), ttyUSB0..2 -> COM3..COM5, rfcomm0 -> COM6, ttyACM0..2 -> COM7..COM9. A registry entry
// decides its port outright: when the device it names does not exist, that port is not listed even
// if a default would fill it. The /dev and /sys folders are $DW_DEV_ROOT and $DW_SYS_ROOT when set
// (read on every call; for tests); the listed paths then lie under them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

inline constexpr const char* kPortMapKey = "Linux\\SerialPorts";

// The port map as it stands now: ("COMn:", Linux device path) pairs sorted by n. Only devices that
// exist are listed. When the registry's entries cannot be read (a damaged hive), the defaults alone
// are listed and *registryError (when given) holds the registry's error; else 0.
std::vector<std::pair<std::string, std::string>> PortMap(uint32_t* registryError = nullptr);

// The number n of a name "COMn:" (case-blind, 1 to 3 decimal digits, at most 255).
std::optional<int> ParseComPortName(std::string_view name);

// The Linux device for a device name: "COMn:" (case-blind) through the map, "/dev/...:" as the path
// without the ':'; nothing when the name is not a device name or the port is unknown.
// *registryError as for PortMap.
std::optional<std::string> ResolvePortName(std::string_view deviceName, uint32_t* registryError = nullptr);

}  // namespace platform
