#pragma once
// The pop-up windows of a PopupSet: creates one window per layout, applies what the model's
// refresh returns, records the pen on them into the model and runs the window test.

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/reports/reporter.h"
#include "warner/display/popup_set.h"
#include "warner/display/ui/popup_window.h"

namespace warner::display::ui {

class PopupWindows final : public QObject {
  Q_OBJECT

 public:
  // Runs `work` while the model may be used: the owner's fix lock, or straight away.
  using Guard = std::function<void(const std::function<void()>& work)>;

  struct Options {
    bool bypassWindowManager = false;
    std::function<uint32_t()> tickCount;  // the tick of presses and releases; default the system's
    Guard guard;
  };

  PopupWindows(PopupSet& set, platform::Reporter& reporter, Options options);
  ~PopupWindows() override;

  // One window per layout, in layout order; 0, or -1 after "Can't allocate the '%s' window" or
  // "Can't create the '%s' window" (the windows made so far stay).
  int Create();
  void Destroy();
  size_t Count() const { return windows_.size(); }
  PopupWindow* Window(size_t index) const { return index < windows_.size() ? windows_[index].get() : nullptr; }

  // Shows, paints and hides as the model said; showing never activates a window.
  void Apply(const std::vector<PopupUpdate>& updates);

  // The window test, driven by timers: names, blank, a full refresh with `inputs()`, hidden.
  // `inputs` runs inside the guard, so it must not take the owner's lock itself. `done` runs
  // after the last step. A test already running is not started again.
  void RunWindowTest(std::function<DisplayInputs()> inputs, std::function<void()> done = {});
  bool WindowTestRunning() const { return testStep_ >= 0; }

 private:
  void Guarded(const std::function<void()>& work) const;
  void RunTestStep();

  PopupSet& set_;
  platform::Reporter& reporter_;
  Options options_;
  std::vector<std::unique_ptr<PopupWindow>> windows_;
  std::function<DisplayInputs()> testInputs_;
  std::function<void()> testDone_;
  int testStep_ = -1;
};

}  // namespace warner::display::ui
