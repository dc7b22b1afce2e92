#include "warner/display/ui/popup_windows.h"

#include <QTimer>
#include <new>

#include "platform/clock/clock.h"

namespace warner::display::ui {

PopupWindows::PopupWindows(PopupSet& set, platform::Reporter& reporter, Options options)
    : set_(set), reporter_(reporter), options_(std::move(options)) {
  if (!options_.tickCount) options_.tickCount = [] { return platform::GetTickCount(); };
}

PopupWindows::~PopupWindows() = default;

void PopupWindows::Guarded(const std::function<void()>& work) const {
  if (options_.guard) {
    options_.guard(work);
  } else {
    work();
  }
}

int PopupWindows::Create() {
  for (size_t i = windows_.size(); i < set_.Count(); ++i) {
    const PopupLayout& layout = set_.Layouts()[i];
    std::unique_ptr<PopupWindow> window;
    try {
      window = std::make_unique<PopupWindow>(layout, options_.bypassWindowManager, [this, i](bool press, QPoint at) {
        const uint32_t tick = options_.tickCount();
        Guarded([&] {
          if (press) {
            set_.RecordPress(i, tick, at.x(), at.y());
          } else {
            set_.RecordRelease(i, tick, at.x(), at.y());
          }
        });
      });
    } catch (const std::bad_alloc&) {
      reporter_.Error("Can't allocate the '%s' window", layout.name.c_str());
      return -1;
    }
    window->winId();  // makes the native window now, so a failure is seen here
    if (!window->testAttribute(Qt::WA_WState_Created)) {
      reporter_.Error("Can't create the '%s' window", layout.name.c_str());
      return -1;
    }
    windows_.push_back(std::move(window));
  }
  return 0;
}

void PopupWindows::Destroy() {
  testStep_ = -1;
  windows_.clear();
}

void PopupWindows::Apply(const std::vector<PopupUpdate>& updates) {
  for (const PopupUpdate& update : updates) {
    PopupWindow* window = Window(update.window);
    if (window == nullptr) continue;  // its creation failed
    if (update.show) window->show();
    if (update.content) window->Apply(*update.content);
    if (update.hide) window->hide();
  }
}

void PopupWindows::RunWindowTest(std::function<DisplayInputs()> inputs, std::function<void()> done) {
  if (WindowTestRunning()) return;
  testInputs_ = std::move(inputs);
  testDone_ = std::move(done);
  testStep_ = 0;
  RunTestStep();
}

void PopupWindows::RunTestStep() {
  const auto steps = WindowTestSequence();
  if (testStep_ < 0 || static_cast<size_t>(testStep_) >= steps.size()) return;
  const WindowTestStep step = steps[static_cast<size_t>(testStep_)];
  std::vector<PopupUpdate> updates;
  Guarded([&] {
    switch (step.action) {
      case WindowTestAction::kShowNames: updates = set_.ShowNames(); break;
      case WindowTestAction::kClear: updates = set_.ClearAll(); break;
      case WindowTestAction::kRefresh: updates = set_.RefreshAll(testInputs_ ? testInputs_() : DisplayInputs{}); break;
      case WindowTestAction::kHide: updates = set_.HideAll(); break;
    }
  });
  Apply(updates);
  if (static_cast<size_t>(++testStep_) >= steps.size()) {
    testStep_ = -1;
    if (testDone_) testDone_();
    return;
  }
  QTimer::singleShot(static_cast<int>(step.waitMs), this, [this] { RunTestStep(); });
}

}  // namespace warner::display::ui
