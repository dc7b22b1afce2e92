#include "manager/core/driver_manager.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "driver/registry/port_table.h"
#include "manager/core/autostart.h"
#include "platform/devices/device.h"
#include "platform/devices/device_manager.h"
#include "platform/errors/errors.h"
#include "platform/paths/paths.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"
#include "platform/version/version.h"

namespace manager {

namespace {

using platform::Hive;
using platform::RegistryKey;

constexpr const char* kBaudRates[] = {"1200", "2400", "4800", "9600", "14400", "19200", "38400", "57600", "115200"};
constexpr int kDefaultBaudIndex = 2;  // "4800"
constexpr uint32_t kMinimumBaud = 1200;
constexpr uint32_t kDefaultBaud = 4800;
constexpr int kFreePortsListed = 10;  // COM0: to COM9:

int IndexOf(const std::vector<std::string>& items, std::string_view text) {
  const auto found = std::find_if(items.begin(), items.end(), [&](const std::string& item) {
    return !text.empty() && platform::EqualsNoCase(item, text);
  });
  return found == items.end() ? -1 : static_cast<int>(found - items.begin());
}

int BaudIndex(uint32_t rate) {
  const std::string text = std::to_string(rate);
  for (size_t i = 0; i < std::size(kBaudRates); ++i) {
    if (text == kBaudRates[i]) return static_cast<int>(i);
  }
  return kDefaultBaudIndex;
}

// A driver key's values as they stood, so that a failed activation leaves the registry as it was.
class KeySnapshot {
 public:
  void Take(const RegistryKey& key) {
    std::string name;
    for (uint32_t i = 0; key.EnumValue(i, name) == 0; ++i) {
      platform::RegistryValue value;
      if (key.QueryValue(name, value) == 0) values_.emplace_back(name, value);
    }
  }
  void Restore(const std::string& keyPath, bool created) const {
    if (created) {
      RegistryKey::DeleteKey(Hive::kLocalMachine, keyPath);
      return;
    }
    RegistryKey key;
    if (RegistryKey::Open(Hive::kLocalMachine, keyPath, key) != 0) return;
    std::string name;
    std::vector<std::string> added;
    for (uint32_t i = 0; key.EnumValue(i, name) == 0; ++i) {
      if (std::none_of(values_.begin(), values_.end(),
                       [&](const auto& v) { return platform::EqualsNoCase(v.first, name); }))
        added.push_back(name);
    }
    for (const std::string& value : added) key.DeleteValue(value);
    for (const auto& [valueName, value] : values_) key.SetValue(valueName, value);
  }

 private:
  std::vector<std::pair<std::string, platform::RegistryValue>> values_;
};

// The port numbers the devices of the system use now.
std::vector<bool> UsedPortNumbers() {
  std::vector<bool> used(kFreePortsListed, false);
  for (const std::string& device : platform::EnumDevices()) {
    if (device.size() < 4 || !platform::EqualsNoCase(device.substr(0, 3), "COM")) continue;
    const int n = PortNumber(device);
    if (n >= 0 && n < kFreePortsListed) used[static_cast<size_t>(n)] = true;
  }
  return used;
}

}  // namespace

DriverManager::DriverManager(ProgramFacts facts, platform::Reporter& reporter, PortTestSink& testSink,
                             FileChooser chooser)
    : facts_(std::move(facts)), reporter_(reporter), chooser_(std::move(chooser)), portTest_(reporter, testSink) {}

bool DriverManager::Start(RunMode mode) {
  const OsVersion os = facts_.os;
  if (os.major > 4 && platform::ContainsNoCase(facts_.moduleFileName, "Card")) {
    const char* name = facts_.programName.c_str();
    reporter_.Error("Can't execute\n%s under WM %d.%d from a card folder.\nPlease copy %s.exe to the main memory.",
                    name, os.major, os.minor, name);
    refused_ = true;
    return false;
  }
  if (facts_.programName.rfind(driver::kManagerBaseName, 0) != 0) {
    refused_ = true;
    return false;
  }
  RemovePreviousGeneration();
  driver::ReadManagerSettings(facts_.programName, settings_);
  baudIndex_ = BaudIndex(settings_.baudRate);
  tmc_ = facts_.programName.find("TMC") != std::string::npos;
  if (tmc_) settings_.nmeaFilter = 0;
  automatic_ = mode != RunMode::kInteractive;
  RefreshLists();
  return true;
}

void DriverManager::RefreshLists() {
  driver::PortTable table(driver::kManagerPortTableSize, driver::kManagerDeviceListChars);
  table.BuildPortTable(reporter_);
  instance_.reset();
  for (const driver::PortEntry& entry : table.Entries()) {
    if ((instance_ = FindActiveInstance(entry.portName, facts_.registryName, reporter_))) break;
  }
  if (!instance_) {
    input_.items.clear();
    for (const driver::PortEntry& entry : table.Entries()) input_.items.emplace_back(entry.portName);
    input_.items.emplace_back("FILE");
    FillInactiveLists();
    return;
  }
  // The running driver's own configuration is what the window shows.
  settings_.source = instance_->InputEntry();
  settings_.sourceFile = instance_->file;
  settings_.baudRate = instance_->inBaud;
  settings_.nmeaFilter = tmc_ ? 0 : instance_->nmeaFilter;
  baudIndex_ = BaudIndex(settings_.baudRate);
  input_ = {{settings_.source}, 0, false};
  const std::optional<std::string> port = LowestActivePort(facts_.registryName);
  output_ = {{port.value_or(instance_->portName)}, 0, false};
  settings_.outPort = output_.items[0];
}

void DriverManager::FillInactiveLists() {
  output_.items.clear();
  const std::vector<bool> used = UsedPortNumbers();
  for (int n = 0; n < kFreePortsListed; ++n) {
    if (!used[static_cast<size_t>(n)]) output_.items.push_back("COM" + std::to_string(n) + ":");
  }
  input_.enabled = output_.enabled = true;
  input_.selected = IndexOf(input_.items, settings_.source);
  output_.selected = IndexOf(output_.items, settings_.outPort);
  if (automatic_) return;
  if (input_.selected < 0 && !input_.items.empty()) input_.selected = 0;
  if (output_.selected < 0 && !output_.items.empty()) output_.selected = 0;
  if (Selected(input_) != "FILE" && input_.selected >= 0) settings_.source = Selected(input_);
  settings_.outPort = Selected(output_);
}

std::string DriverManager::Selected(const ListControl& list) const {
  return list.selected >= 0 && static_cast<size_t>(list.selected) < list.items.size()
             ? list.items[static_cast<size_t>(list.selected)]
             : std::string();
}

uint32_t DriverManager::SelectedBaud() const {
  const uint32_t rate = static_cast<uint32_t>(std::stoul(kBaudRates[baudIndex_]));
  return rate < kMinimumBaud ? kDefaultBaud : rate;
}

bool DriverManager::Activate() {
  StopPortTest();
  const std::string inputName = Selected(input_);
  const int kind = InputKind(inputName);
  const int output = PortNumber(Selected(output_));
  if (kind < 0) {
    reporter_.Error("Please select an Input Port.");
    return false;
  }
  if (output < 0) {
    reporter_.Error("Please select a Virtual Output Port.");
    return false;
  }
  if (kind == output) {
    reporter_.Error("Can't select the same port as Source and Virtual Port.");
    return false;
  }
  driver::DriverKeyValues values = driver::MakeDriverKeyValues(
      facts_.registryName, inputName, static_cast<uint32_t>(kind),
      kind == kFileInputKind ? settings_.sourceFile : std::string(), static_cast<uint32_t>(output));
  values.inBaud = SelectedBaud();
  values.nmeaFilter = tmc_ ? 0 : settings_.nmeaFilter;
  const std::string keyPath =
      platform::JoinPath(driver::DriverKeyRoot(settings_.driverResident != 0, facts_.os.major), facts_.registryName);
  const bool ok = WriteKey(keyPath, values);
  RefreshLists();
  return ok;
}

bool DriverManager::WriteKey(const std::string& keyPath, const driver::DriverKeyValues& values) {
  const char* path = keyPath.c_str();
  RegistryKey key;
  bool created = false;
  if (const uint32_t error = RegistryKey::Create(Hive::kLocalMachine, keyPath, key, &created)) {
    reporter_.ErrorCode(error, "Can't create the driver entry: %s\n", path);
    return false;
  }
  KeySnapshot snapshot;
  if (!created) {
    std::string imprint;
    key.QueryString("Imprint", imprint);
    if (!platform::ContainsNoCase(imprint, "Velmora") &&
        !reporter_.AskWarning("The registry key %s already exists and will be overwritten.\n\nContinue?", path)) {
      return false;
    }
    snapshot.Take(key);
  }
  key.Close();
  if (const uint32_t error = driver::WriteDriverKey(keyPath, values)) {
    reporter_.ErrorCode(error, "Can't create the driver registry entries: %s.\n", path);
    snapshot.Restore(keyPath, created);
    return false;
  }
  if (instance_ || Load(keyPath, values)) return true;
  snapshot.Restore(keyPath, created);
  return false;
}

bool DriverManager::Load(const std::string& keyPath, const driver::DriverKeyValues& values) {
  if (platform::ActivateDevice(keyPath)) return true;
  uint32_t error = platform::GetLastError();
  // "Already in use" counts as loaded, but only when it is this instance that holds the port.
  if (error == platform::kErrorDeviceInUse) {
    char port[32];
    std::snprintf(port, sizeof port, "COM%u:", values.index);
    if (FindActiveInstance(port, facts_.registryName, reporter_)) return true;
  }
  reporter_.ErrorCode(error, "Activating Sercast Device Driver %s failed\n", values.dll.c_str());
  return false;
}

bool DriverManager::Deactivate() {
  StopPortTest();
  const int number = output_.items.empty() ? kInvalidKind : PortNumber(output_.items[0]);
  if (number < 0) return true;
  const std::string port = "COM" + std::to_string(number) + ":";
  const std::optional<ActiveInstance> instance = FindActiveInstance(port, facts_.registryName, reporter_);
  bool ok = true;
  if (instance) {
    if (!platform::DeactivateDeviceHandle(instance->handle)) {
      reporter_.ErrorLastError("Can't deactivate the device.\n");
      ok = false;
    } else if (RegistryKey root; const uint32_t error = RegistryKey::Open(Hive::kLocalMachine, instance->root, root)) {
      reporter_.ErrorCode(error, "Can't find the registry key '%s'.\n", instance->root.c_str());
      ok = false;
    } else if (const uint32_t deleteError = RegistryKey::DeleteKey(
                   Hive::kLocalMachine, platform::JoinPath(instance->root, facts_.registryName))) {
      reporter_.ErrorCode(deleteError, "Can't delete the registry key '%s\\%s'.\n", instance->root.c_str(),
                          facts_.registryName.c_str());
      ok = false;
    }
  }
  RefreshLists();
  return ok;
}

bool DriverManager::Exit() {
  if (refused_) return true;
  StopPortTest();
  settings_.driverActivated = instance_ ? 1 : 0;
  settings_.baudRate = SelectedBaud();
  driver::WriteManagerSettings(facts_.programName, settings_, facts_.moduleFileName);
  if (facts_.os.major <= 4) return true;
  const std::string entry = AutostartEntryPath(facts_.programName);
  RemoveAutostartEntry(entry);
  if (settings_.driverActivated == 0 || settings_.driverResident == 0) return true;
  if (WriteAutostartEntry(entry, AutostartEntryText(facts_.programName, facts_.moduleFileName))) return true;
  reporter_.ErrorLastError("Can't create the shortcut %s to %s.\n", entry.c_str(), facts_.moduleFileName.c_str());
  return false;
}

void DriverManager::SelectInput(size_t index) {
  if (index >= input_.items.size()) return;
  if (input_.items[index] != "FILE") {
    input_.selected = static_cast<int>(index);
    settings_.source = input_.items[index];
    settings_.sourceFile.clear();
    return;
  }
  const FileDialogRequest request{"GPS Log File",
                                  {{"GPS Log File (*.txt;*.gps)", "*.txt;*.gps"}, {"All Files (*.*)", "*.*"}}};
  const std::optional<std::string> file = chooser_ ? chooser_(request) : std::nullopt;
  if (!file) return;  // the previous entry stays selected
  input_.selected = static_cast<int>(index);
  settings_.source = "FILE";
  settings_.sourceFile = *file;
}

void DriverManager::SelectOutput(size_t index) {
  if (index >= output_.items.size()) return;
  output_.selected = static_cast<int>(index);
  settings_.outPort = output_.items[index];
}

void DriverManager::SelectBaud(size_t index) {
  if (index < std::size(kBaudRates)) baudIndex_ = static_cast<int>(index);
}

void DriverManager::SetFilter(bool on) {
  if (!tmc_) settings_.nmeaFilter = on ? 1 : 0;
}

void DriverManager::SetResident(bool on) { settings_.driverResident = on ? 1 : 0; }

void DriverManager::PressTest(PortTestMode mode) {
  if (portTest_.Running()) {
    StopPortTest();
    return;
  }
  PortTestTarget target;
  target.baudRate = SelectedBaud();
  if (instance_) {
    target.name = output_.items[0];
    target.virtualPort = true;
  } else {
    target.name = Selected(input_) == "FILE" ? settings_.sourceFile : Selected(input_);
  }
  portTest_.Start(mode, target);
}

void DriverManager::StopPortTest() { portTest_.Stop(); }

ManagerView DriverManager::View() const {
  ManagerView view;
  const bool active = instance_.has_value();
  view.title = facts_.programName;
  view.input = input_;
  view.output = output_;
  view.baud = {{std::begin(kBaudRates), std::end(kBaudRates)}, baudIndex_, !active};
  view.filter = {settings_.nmeaFilter != 0, !active && !tmc_};
  view.resident = {settings_.driverResident != 0, !active};
  view.activate = {"Activate", !active};
  view.deactivate = {"Deactivate", active};
  const PortTestMode running = portTest_.Mode();
  view.testRaw = {running == PortTestMode::kRaw ? "Stop Raw" : "Test Raw", running != PortTestMode::kGps};
  view.testGps = {running == PortTestMode::kGps ? "Stop GPS" : "Test GPS", running != PortTestMode::kRaw};
  view.fileLabel = platform::FileNamePart(settings_.sourceFile);
  view.fileLabelEnabled = !settings_.sourceFile.empty();
  view.testCaption = portTest_.Caption();
  view.versionText = platform::ProgramVersionText();
  return view;
}

}  // namespace manager
