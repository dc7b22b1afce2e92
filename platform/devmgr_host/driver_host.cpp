#include "platform/devmgr_host/driver_host.h"

#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <sstream>

#include "platform/devmgr_protocol/protocol.h"
#include "platform/errors/errors.h"
#include "platform/paths/paths.h"
#include "platform/registry/registry.h"

namespace platform {

namespace {

constexpr char kActiveRoot[] = "Drivers\\Active";
constexpr char kBuiltInRoot[] = "Drivers\\BuiltIn";

std::string DriverCopyFolder() { return JoinPath(devmgr::RunFolder(), "drivers"); }

bool SameName(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

// "X.dll" names libX.so, then X.so.
std::vector<std::string> LibraryFileNames(const std::string& dll) {
  std::string stem = FileNamePart(dll);
  if (stem.size() > 4 && strcasecmp(stem.c_str() + stem.size() - 4, ".dll") == 0) stem.resize(stem.size() - 4);
  return {"lib" + stem + ".so", stem + ".so"};
}

std::string FindLibrary(const std::vector<std::string>& folders, const std::string& dll) {
  for (const auto& folder : folders) {
    for (const auto& file : LibraryFileNames(dll)) {
      std::error_code ignored;
      std::string path = JoinPath(folder, file);
      if (std::filesystem::is_regular_file(path, ignored)) return path;
    }
  }
  return {};
}

std::string Joined(const std::vector<std::string>& texts) {
  std::string all;
  for (const auto& text : texts) all += (all.empty() ? "" : ", ") + text;
  return all;
}

// A prefix becomes part of symbol and file names: three letters, as the handheld's drivers have.
bool ValidPrefix(const std::string& prefix) {
  if (prefix.size() != 3) return false;
  for (const char c : prefix) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  }
  return true;
}

// The lowest free number under Drivers\Active, as two digits.
std::string FreeActiveKey() {
  for (uint32_t number = 1;; ++number) {
    char name[32];
    snprintf(name, sizeof name, "%s\\%02u", kActiveRoot, number);
    RegistryKey probe;
    if (RegistryKey::Open(Hive::kLocalMachine, name, probe) == kErrorFileNotFound) return name;
  }
}

uint32_t WriteActiveKey(const std::string& path, const std::string& key, uint32_t handle, const std::string& name) {
  RegistryKey active;
  uint32_t error = RegistryKey::Create(Hive::kLocalMachine, path, active);
  if (error == 0) error = active.SetString("Key", key);
  if (error == 0) error = active.SetDword("Hnd", handle);
  if (error == 0) error = active.SetString("Name", name);
  return error;
}

// The keys under Drivers\BuiltIn in their load order: by Order (missing: last), then by name.
std::vector<std::string> BootKeys() {
  std::vector<std::pair<uint32_t, std::string>> keys;
  RegistryKey root;
  if (RegistryKey::Open(Hive::kLocalMachine, kBuiltInRoot, root) != 0) return {};
  std::string name;
  for (uint32_t i = 0; root.EnumSubkey(i, name) == 0; ++i) {
    RegistryKey key;
    uint32_t order = UINT32_MAX;
    const std::string path = JoinPath(kBuiltInRoot, name);
    if (RegistryKey::Open(Hive::kLocalMachine, path, key) == 0) key.QueryDword("Order", order);
    keys.emplace_back(order, path);
  }
  std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> paths;
  paths.reserve(keys.size());
  for (auto& key : keys) paths.push_back(std::move(key.second));
  return paths;
}

uint32_t DwordOr(RegistryKey& key, const char* name, uint32_t fallback) {
  uint32_t value = fallback;
  return key.QueryDword(name, value) == 0 ? value : fallback;
}

// How many taps of each kind the key asks for (one of each unless it says otherwise), within the
// driver's eight clients, so that programs opening the port itself always find a slot when the
// key leaves room.
TapCounts TapCountsOf(RegistryKey& key) {
  constexpr uint32_t kMaxTaps = 8;
  TapCounts counts;
  counts.readWrite = std::min(DwordOr(key, "ReadWriteTaps", 1), kMaxTaps);
  counts.readOnly = std::min(DwordOr(key, "ReadOnlyTaps", 1), kMaxTaps - counts.readWrite);
  return counts;
}

// The input settings of the key, which a read-write tap gives the real port: a program's terminal
// settings on its pseudo-terminal do not reach it.
TapInputSettings TapInputOf(RegistryKey& key) {
  TapInputSettings input;
  input.baudRate = DwordOr(key, "InBaud", 4800);
  input.byteSize = static_cast<uint8_t>(DwordOr(key, "InBits", 8));
  input.parity = static_cast<uint8_t>(DwordOr(key, "InParity", 0));
  input.stopBits = DwordOr(key, "InStopBits", 1) == 2 ? 2 : 0;  // the key counts stop bits, the port codes them
  return input;
}

}  // namespace

std::vector<std::string> DriverSearchFolders() {
  std::vector<std::string> folders;
  if (const char* path = getenv("DW_DRIVER_PATH")) {
    std::istringstream list(path);
    for (std::string folder; std::getline(list, folder, ':');) {
      if (!folder.empty()) folders.push_back(folder);
    }
  }
  folders.push_back(ToLinuxPath("\\Windows"));
  if (std::string own = ProgramFolder(); !own.empty()) folders.push_back(own);
  folders.push_back(DW_BUILD_DRIVER_FOLDER);
  return folders;
}

DriverHost::DriverHost(std::vector<std::string> searchFolders, std::function<void()> onStop)
    : searchFolders_(std::move(searchFolders)), onStop_(std::move(onStop)) {}

DriverHost::~DriverHost() { DeactivateAll(); }

std::vector<std::string> DriverHost::StartUp() {
  RegistryKey::DeleteKey(Hive::kLocalMachine, kActiveRoot);
  std::error_code ignored;
  std::filesystem::remove_all(DriverCopyFolder(), ignored);
  std::vector<std::string> failures;
  for (const auto& key : BootKeys()) {
    const devmgr::StatusReply reply = Activate(key);
    if (reply.error != 0) failures.push_back(key + ": " + reply.message);
  }
  return failures;
}

void DriverHost::DeactivateAll() {
  std::lock_guard lock(lock_);
  for (auto& instance : instances_) Unload(instance);
  instances_.clear();
}

devmgr::StatusReply DriverHost::Activate(const std::string& keyPath) {
  std::lock_guard lock(lock_);
  Instance instance;
  devmgr::StatusReply reply = Load(keyPath, instance);
  if (reply.error != 0) {
    Unload(instance);
    reply.message = "cannot activate HKLM\\" + keyPath + ": " + reply.message + " (" + ErrorText(reply.error) + ")";
    return reply;
  }
  reply.name = instance.name;
  reply.handle = instance.handle;
  instances_.push_back(std::move(instance));
  return reply;
}

devmgr::StatusReply DriverHost::Load(const std::string& keyPath, Instance& instance) {
  RegistryKey key;
  if (uint32_t error = RegistryKey::Open(Hive::kLocalMachine, keyPath, key)) return {error, {}, "no such driver key"};
  std::string dll;
  std::string prefix;
  uint32_t index = 0;
  if (uint32_t error = key.QueryString("Dll", dll)) return {error, {}, "the key has no string value Dll"};
  if (uint32_t error = key.QueryString("Prefix", prefix)) return {error, {}, "the key has no string value Prefix"};
  if (uint32_t error = key.QueryDword("Index", index)) return {error, {}, "the key has no DWORD value Index"};
  if (!ValidPrefix(prefix)) return {kErrorInvalidParameter, {}, "the prefix '" + prefix + "' is not three letters"};
  instance.name = prefix + std::to_string(index) + ":";
  instance.key = key.Path();
  if (FindInstance(instance.name) != instances_.end()) {
    return {kErrorDeviceInUse, {}, instance.name + " is already active"};
  }

  const std::string library = FindLibrary(searchFolders_, dll);
  if (library.empty()) {
    return {kErrorFileNotFound, {}, "no " + Joined(LibraryFileNames(dll)) + " in " + Joined(searchFolders_)};
  }
  // Each instance needs a file of its own: one file's globals are shared by all its loads.
  std::error_code failure;
  std::filesystem::create_directories(DriverCopyFolder(), failure);
  const std::string copy = JoinPath(DriverCopyFolder(), prefix + std::to_string(index) + "-" + FileNamePart(library));
  std::filesystem::copy_file(library, copy, std::filesystem::copy_options::overwrite_existing, failure);
  if (failure) return {ErrorFromErrno(failure.value()), {}, "cannot copy " + library + " to " + copy};
  instance.copyPath = copy;

  uint32_t error = 0;
  std::string message;
  instance.driver = LoadedDriver::Load(copy, prefix, &error, &message);
  if (instance.driver == nullptr) return {error, {}, message};

  instance.activeKey = FreeActiveKey();
  instance.handle = nextHandle_++;
  if ((error = WriteActiveKey(instance.activeKey, instance.key, instance.handle, instance.name)) != 0) {
    return {error, {}, "cannot write HKLM\\" + instance.activeKey};
  }
  if (!instance.driver->Init(instance.activeKey, &error)) return {error, {}, prefix + "_Init failed"};
  instance.taps = std::make_unique<PortTaps>(*instance.driver, instance.name, TapCountsOf(key), TapInputOf(key),
                                             JoinPath(devmgr::RunFolder(), "ports"));
  return {0, {}, {}};
}

devmgr::StatusReply DriverHost::Deactivate(const std::string& name) {
  std::lock_guard lock(lock_);
  const auto found = FindInstance(name);
  if (found == instances_.end()) return {kErrorFileNotFound, {}, "no active device " + name};
  Unload(*found);
  instances_.erase(found);
  return {};
}

devmgr::ListReply DriverHost::List() {
  std::lock_guard lock(lock_);
  devmgr::ListReply reply;
  for (const auto& instance : instances_) {
    reply.devices.push_back(
        {instance.name, instance.key, instance.taps ? instance.taps->Links() : std::vector<std::string>{}});
  }
  return reply;
}

void DriverHost::RequestStop() {
  if (onStop_) onStop_();
}

std::shared_ptr<StreamDevice> DriverHost::Find(const std::string& name) {
  std::lock_guard lock(lock_);
  const auto found = FindInstance(name);
  return found == instances_.end() ? nullptr : found->driver;
}

std::vector<DriverHost::Instance>::iterator DriverHost::FindInstance(const std::string& name) {
  return std::find_if(instances_.begin(), instances_.end(),
                      [&](const Instance& instance) { return SameName(instance.name, name); });
}

void DriverHost::Unload(Instance& instance) {
  instance.taps.reset();
  if (instance.driver != nullptr) instance.driver->Unload();
  if (!instance.activeKey.empty()) RegistryKey::DeleteKey(Hive::kLocalMachine, instance.activeKey);
  std::error_code ignored;
  if (!instance.copyPath.empty()) std::filesystem::remove(instance.copyPath, ignored);
}

}  // namespace platform
