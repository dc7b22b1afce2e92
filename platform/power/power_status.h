#pragma once
// The machine's power state, as the kernel's power-supply class tells it.

#include <string>

namespace platform {

struct PowerStatus {
  bool known = false;        // a mains supply or a battery of the machine was found
  bool onMains = false;      // a mains or USB supply is online
  bool batteryFull = false;  // the battery says it is full
  int percent = -1;          // the battery's charge, -1 when it gives none
};

// Reads every supply below `folder` (one sub-folder per supply with "type", "online", "scope",
// "capacity" and "status" files). Batteries of devices (a wireless mouse's) do not count; of
// several batteries the first in name order gives the charge.
PowerStatus ReadPowerStatus(const std::string& folder);

// The machine's folder: class/power_supply below $DW_SYS_ROOT when set (tests, demos), else /sys.
std::string PowerSupplyFolder();

}  // namespace platform
