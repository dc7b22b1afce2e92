#pragma once
// The pop-up windows of a warner session: the layouts of the window layout file, what each window
// shows of the session's fix, announcement, traffic and the machine's battery, and the taps on
// them, over the windows of a face (Qt on screen, a fake in tests). Every call comes on the
// interface thread; what the worker writes is read under its fix lock.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/power/power_status.h"
#include "platform/reports/reporter.h"
#include "warner/app/popup_control.h"
#include "warner/display/popup_set.h"

namespace warner {

// The windows themselves.
class PopupSurface {
 public:
  virtual ~PopupSurface() = default;
  // One window per layout of the set: 0, or -1 after the message of a window that could not be
  // made (the windows made so far stay).
  virtual int Create() = 0;
  virtual void Apply(const std::vector<display::PopupUpdate>& updates) = 0;
  // Names, blank, a full picture from `inputs`, hidden, at the test's pace.
  virtual void RunWindowTest(std::function<display::DisplayInputs()> inputs) = 0;
};

// Makes the windows of a set; the set outlives them.
using PopupSurfaceFactory = std::function<std::unique_ptr<PopupSurface>(display::PopupSet& set)>;

struct PopupSources {
  std::function<uint32_t()> tickCount;           // default: the system's tick
  std::function<platform::PowerStatus()> power;  // default: the machine's power-supply folder
  std::function<int()> timeZoneBias;             // minutes, default: the system's
};

class SessionPopups final : public PopupControl, private SoundTestWindow {
 public:
  SessionPopups(platform::Reporter& reporter, PopupSurfaceFactory factory, PopupSources sources = {});
  ~SessionPopups() override;

  bool Create(WarnerSession& session) override;
  bool Exists() const override { return set_.has_value() && set_->Count() > 0; }
  void Refresh(uint32_t nowMs, bool windowsVisible) override;
  void HideAll(bool keepStatus) override;
  void ClearCloseTimes() override;
  void Announced() override;
  void SetStatusIcon(StatusIcon icon) override;
  std::vector<PopupTap> TakeTaps() override;
  void RunWindowTest() override;
  void Pause() override;
  void Resume() override;
  SoundTestWindow* SoundTestDisplay() override { return this; }

  // What the windows show now; taken under the session's fix lock.
  display::DisplayInputs Inputs() const;
  // Null before Create.
  const display::PopupSet* Set() const { return set_ ? &*set_ : nullptr; }

 private:
  void Apply(const std::vector<display::PopupUpdate>& updates);
  // The announcement window shown with `content`, or hidden without.
  void ShowAnnouncementWindow(std::optional<display::PopupContent> content);

  // SoundTestWindow
  void ShowCleared() override;
  bool ShowBitmap(const std::string& path) override;
  void ShowText(const std::string& text) override;
  void Hide() override { ShowAnnouncementWindow(std::nullopt); }

  platform::Reporter& reporter_;
  const PopupSurfaceFactory factory_;
  PopupSources sources_;
  WarnerSession* session_ = nullptr;
  std::optional<display::PopupSet> set_;
  std::unique_ptr<PopupSurface> surface_;
  StatusIcon icon_ = StatusIcon::kInactive;
};

}  // namespace warner
