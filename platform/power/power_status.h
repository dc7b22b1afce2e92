#pragma once
// The machine's power state, as the kernel's power-supply class tells it.

#include <string>

namespace platform {

inline constexpr const char* kPowerSupplyFolder = "/sys/class/power_supply";

struct PowerStatus {
  bool known = false;        // a mains supply or a battery of the machine was found
  bool onMains = false;      // a mains or USB supply is online
  bool batteryFull = false;  // the battery says it is full
  int percent = -1;          // the battery's charge, -1 when it gives none
};

// Reads every supply below `folder` (one sub-folder per supply with "type", "online", "scope",
// "capacity" and "status" files). Batteries of devices (a wireless mouse's) do not count; of
// several batteries the first in name order gives the charge.
PowerStatus ReadPowerStatus(const std::string& folder = kPowerSupplyFolder);

}  // namespace platform
