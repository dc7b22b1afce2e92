#pragma once
// Which Linux device stands behind a handheld port name such as "COM4:". Defaults come from the
// devices that exist (a fixed number per device, so that a port keeps its name across plugging);
// entries in the registry (machine hive, key kPortMapKey, string values "COM4:" = "/dev/pts/3")
// win over the defaults and may name any device, a pseudo-terminal included.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

inline constexpr const char* kPortMapKey = "Linux\\SerialPorts";

// The port map as it stands now: ("COMn:", Linux device path) pairs sorted by n. Only devices that
// exist are listed.
std::vector<std::pair<std::string, std::string>> PortMap();

// The Linux device for a device name: "COMn:" (case-blind) through the map, "/dev/...:" as the path
// without the ':'; nothing when the name is not a device name or the port is unknown.
std::optional<std::string> ResolvePortName(std::string_view deviceName);

}  // namespace platform
