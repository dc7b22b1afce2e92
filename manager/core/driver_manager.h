#pragma once
// The driver manager's window without the window: what each control shows and whether it is
// enabled, and what each click does (activate or deactivate the driver, choose the input, test a
// port, save the choices at exit). A dialog only shows View() and forwards clicks; the command
// line drives the same object.

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "driver/registry/driver_keys.h"
#include "manager/core/active_instance.h"
#include "manager/core/port_test.h"
#include "manager/core/program_facts.h"
#include "platform/reports/reporter.h"

namespace manager {

// The file dialog for a GPS log.
struct FileDialogRequest {
  std::string title;
  std::vector<std::pair<std::string, std::string>> filters;  // (description, patterns)
};
// Shows the dialog; the chosen path, or nothing when the user cancelled.
using FileChooser = std::function<std::optional<std::string>(const FileDialogRequest&)>;

enum class RunMode { kInteractive, kActivate, kDeactivate };

struct ListControl {
  std::vector<std::string> items;
  int selected = -1;
  bool enabled = true;
};
struct CheckControl {
  bool checked = false;
  bool enabled = true;
};
struct ButtonControl {
  std::string text;
  bool enabled = true;
};

struct ManagerView {
  std::string title;  // the program name
  ListControl input;
  ListControl output;
  ListControl baud;
  CheckControl filter;
  CheckControl resident;
  ButtonControl activate;
  ButtonControl deactivate;
  ButtonControl testRaw;
  ButtonControl testGps;
  std::string fileLabel;  // the input file's name without its folder
  bool fileLabelEnabled = false;
  std::string testCaption;
  std::string versionText;
};

class DriverManager {
 public:
  DriverManager(ProgramFacts facts, platform::Reporter& reporter, PortTestSink& testSink, FileChooser chooser = {});

  // Checks where and under which name the program runs, removes the previous driver generation,
  // reads the settings and fills the controls. False when the program must close at once (nothing
  // is saved at its exit then). In an automatic mode a stored choice that is no longer offered is
  // not replaced by another entry, so that "-A" never activates what the user did not choose.
  bool Start(RunMode mode = RunMode::kInteractive);

  // Each returns true on success; every failure has been reported.
  bool Activate();
  bool Deactivate();
  // Saves the settings and the startup entry; false when the startup entry could not be made.
  bool Exit();

  void SelectInput(size_t index);
  void SelectOutput(size_t index);
  void SelectBaud(size_t index);
  void SetFilter(bool on);
  void SetResident(bool on);
  // "Test Raw" (kRaw) or "Test GPS" (kGps); pressed while a test runs, it stops the test.
  void PressTest(PortTestMode mode);
  void StopPortTest();

  ManagerView View() const;
  bool DriverActive() const { return instance_.has_value(); }
  const ProgramFacts& Facts() const { return facts_; }
  const driver::ManagerSettings& Settings() const { return settings_; }

 private:
  void RefreshLists();
  void FillInactiveLists();
  std::string Selected(const ListControl& list) const;
  uint32_t SelectedBaud() const;
  bool WriteKey(const std::string& keyPath, const driver::DriverKeyValues& values);
  bool Load(const std::string& keyPath, const driver::DriverKeyValues& values);

  ProgramFacts facts_;
  platform::Reporter& reporter_;
  FileChooser chooser_;
  PortTest portTest_;
  driver::ManagerSettings settings_;
  bool tmc_ = false;
  bool automatic_ = false;
  bool refused_ = false;
  ListControl input_;
  ListControl output_;
  int baudIndex_ = 2;
  std::optional<ActiveInstance> instance_;
};

}  // namespace manager
