#include "platform/power/power_status.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>
#include <vector>

namespace platform {
namespace {

// The first line of a small attribute file, empty when it cannot be read.
std::string Attribute(const std::filesystem::path& supply, const char* name) {
  std::ifstream file(supply / name);
  std::string line;
  std::getline(file, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

int Percent(std::string_view text) {
  int value = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : -1;
}

void AddSupply(const std::filesystem::path& supply, PowerStatus& status, bool& batterySeen) {
  const std::string type = Attribute(supply, "type");
  if (type == "Mains" || type.starts_with("USB")) {
    status.known = true;
    if (Attribute(supply, "online") == "1") status.onMains = true;
  } else if (type == "Battery" && Attribute(supply, "scope") != "Device" && !batterySeen) {
    batterySeen = true;
    status.known = true;
    status.percent = Percent(Attribute(supply, "capacity"));
    status.batteryFull = Attribute(supply, "status") == "Full";
  }
}

}  // namespace

std::string PowerSupplyFolder() {
  const char* root = std::getenv("DW_SYS_ROOT");
  return std::string(root != nullptr && *root != '\0' ? root : "/sys") + "/class/power_supply";
}

PowerStatus ReadPowerStatus(const std::string& folder) {
  PowerStatus status;
  std::error_code error;
  std::vector<std::filesystem::path> supplies;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) supplies.push_back(entry.path());
  std::sort(supplies.begin(), supplies.end());
  bool batterySeen = false;
  for (const auto& supply : supplies) AddSupply(supply, status, batterySeen);
  return status;
}

}  // namespace platform
