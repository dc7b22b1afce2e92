#pragma once
// The pop-up windows as a model: which window shows which field, when each is due for a redraw,
// when the announcement windows close, the flags that show and hide them, the taps on them and
// the window test. The Qt windows only apply what it returns. Not locked: the owner calls it
// under the fix lock, on the interface thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "warner/display/popup_content.h"
#include "warner/display/popup_layout.h"

namespace warner::display {

// What the windows must do with one window after a refresh: show it (never activating it),
// paint new content, hide it; in that order.
struct PopupUpdate {
  size_t window = 0;
  bool show = false;
  std::optional<PopupContent> content;
  bool hide = false;

  bool operator==(const PopupUpdate&) const = default;
};

// A press and release on a window other than ANNO and ANDI, for the owner's tap rules.
struct PopupTap {
  std::string name;
  FieldCode code = FieldCode::kNone;
  uint32_t heldMs = 0;  // from press to release

  bool operator==(const PopupTap&) const = default;
};

// The window test: each step, then its wait.
enum class WindowTestAction { kShowNames, kClear, kRefresh, kHide };
struct WindowTestStep {
  WindowTestAction action;
  uint32_t waitMs;
};
std::span<const WindowTestStep> WindowTestSequence();

// The 0x400 TextAlign rule: the bit goes; when the text is measured higher than 1.5 times the
// window, its first line break becomes a blank. `measureHeight` gets the text and the flags left.
struct PlacedText {
  std::string text;
  int flags = 0;
};
PlacedText ApplyMeasuringRule(std::string_view text, int flags, int windowHeight,
                              const std::function<int(std::string_view text, int flags)>& measureHeight);

class PopupSet {
 public:
  explicit PopupSet(std::vector<PopupLayout> layouts);

  const std::vector<PopupLayout>& Layouts() const { return layouts_; }
  size_t Count() const { return layouts_.size(); }
  // The window of a field code (the last section of that code), or none.
  std::optional<size_t> WindowOf(FieldCode code) const;

  // Windows-visible: the data windows are shown when redrawn (a tap on PSNT toggles it).
  bool WindowsVisible() const { return windowsVisible_; }
  void SetWindowsVisible(bool visible) { windowsVisible_ = visible; }
  // Pop-ups-shown: cleared while the surroundings search runs; no refresh then.
  bool PopupsShown() const { return popupsShown_; }
  void SetPopupsShown(bool shown) { popupsShown_ = shown; }
  bool IsShown(size_t window) const { return windows_[window].shown; }

  // An announcement at `now`: ANNO and ANDI stay open for their open time and up to as long again
  // while the POI is tracked.
  void Announce(uint32_t now);
  // Forgets the close times and refresh ticks (a new activation).
  void ClearTimes();

  // The one-second refresh: the windows due, in the fixed order, and the announcement windows.
  std::vector<PopupUpdate> Refresh(const DisplayInputs& inputs, uint32_t now);
  // True when the last Refresh closed ANNO: the owner then clears the announcement's text and
  // bitmap path.
  bool AnnouncementClosed() const { return announcementClosed_; }
  // The status window now, out of turn: when the status icon changes.
  std::vector<PopupUpdate> RedrawStatus(const DisplayInputs& inputs);
  // Every window shown with its content now (the window test).
  std::vector<PopupUpdate> RefreshAll(const DisplayInputs& inputs);
  // Hides every window, or every one but PSNT, ANNO and ANDI.
  std::vector<PopupUpdate> HideAll(bool keepStatusAndAnnouncement = false);
  // The window test's first and second pictures: names centred, then blank.
  std::vector<PopupUpdate> ShowNames();
  std::vector<PopupUpdate> ClearAll();

  void RecordPress(size_t window, uint32_t tick, int x, int y);
  void RecordRelease(size_t window, uint32_t tick, int x, int y);
  // The taps recorded since the last call; the presses and releases are forgotten.
  std::vector<PopupTap> TakeTaps();

 private:
  struct Pointer {
    uint32_t tick = 0;
    int x = 0;
    int y = 0;
  };
  struct WindowState {
    bool shown = false;
    std::optional<uint32_t> dueTick;    // next refresh; none: due now
    std::optional<uint32_t> closeTick;  // ANNO, ANDI: open until
    std::optional<Pointer> press;
    std::optional<Pointer> release;
  };

  bool IsAnnouncement(size_t window) const;
  bool Due(size_t window, uint32_t now);
  void Redraw(size_t window, const DisplayInputs& inputs, std::vector<PopupUpdate>& updates);
  void RefreshAnnouncement(size_t window, const DisplayInputs& inputs, uint32_t now, std::vector<PopupUpdate>& updates);
  PopupUpdate Hide(size_t window, std::optional<PopupContent> content = std::nullopt);

  std::vector<PopupLayout> layouts_;
  std::vector<WindowState> windows_;
  std::array<std::optional<size_t>, kTableCodeCount> table_{};
  bool windowsVisible_ = true;
  bool popupsShown_ = true;
  bool announcementClosed_ = false;
};

}  // namespace warner::display
