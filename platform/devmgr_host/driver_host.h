#pragma once
// The device manager's table of loaded stream driver instances: activation from a driver key,
// deactivation, the list, and the boot (stale active keys removed, Drivers\BuiltIn loaded).
// Every instance runs from a copy of its library file of its own, because the dynamic loader
// shares one file's globals between all loads of it.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/devmgr_host/connection.h"
#include "platform/devmgr_host/loaded_driver.h"
#include "platform/stream_driver/port_taps.h"

namespace platform {

// Where driver libraries are looked for: the folders of $DW_DRIVER_PATH (colon-separated), the
// system root's Windows folder, the daemon's own folder, the build tree's driver folder.
std::vector<std::string> DriverSearchFolders();

class DriverHost : public ConnectionHost {
 public:
  // `onStop` runs when a client asks the daemon to stop.
  DriverHost(std::vector<std::string> searchFolders, std::function<void()> onStop);
  ~DriverHost() override;
  DriverHost(const DriverHost&) = delete;
  DriverHost& operator=(const DriverHost&) = delete;

  // Removes what a previous run left (active keys, library copies) and activates every key under
  // Drivers\BuiltIn in the order of their Order values; returns a text for each key that failed.
  std::vector<std::string> StartUp();
  void DeactivateAll();

  devmgr::StatusReply Activate(const std::string& keyPath) override;
  devmgr::StatusReply Deactivate(const std::string& name) override;
  devmgr::ListReply List() override;
  void RequestStop() override;
  std::shared_ptr<StreamDevice> Find(const std::string& name) override;

 private:
  struct Instance {
    std::string name;
    std::string key;
    std::string activeKey;
    std::string copyPath;
    uint32_t handle = 0;
    std::shared_ptr<LoadedDriver> driver;
    std::unique_ptr<PortTaps> taps;  // ended before the driver is unloaded
  };

  devmgr::StatusReply Load(const std::string& keyPath, Instance& instance);
  std::vector<Instance>::iterator FindInstance(const std::string& name);
  static void Unload(Instance& instance);

  std::vector<std::string> searchFolders_;
  std::function<void()> onStop_;
  std::mutex lock_;
  std::vector<Instance> instances_;
  uint32_t nextHandle_ = 1;
};

}  // namespace platform
