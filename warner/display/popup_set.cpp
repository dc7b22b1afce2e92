#include "warner/display/popup_set.h"

#include "warner/gps/conversions.h"

namespace warner::display {
namespace {

// The refresh visits the fields in this order; the others are never filled.
constexpr FieldCode kRefreshOrder[] = {FieldCode::kPSNT, FieldCode::kTIME, FieldCode::kANNO, FieldCode::kANDI,
                                       FieldCode::kSPED, FieldCode::kHEAD, FieldCode::kCOOR, FieldCode::kHGHT,
                                       FieldCode::kHDOP, FieldCode::kTMCS, FieldCode::kBATT};

constexpr WindowTestStep kWindowTest[] = {{WindowTestAction::kShowNames, 2000},
                                          {WindowTestAction::kClear, 500},
                                          {WindowTestAction::kRefresh, 3000},
                                          {WindowTestAction::kHide, 0}};

}  // namespace

std::span<const WindowTestStep> WindowTestSequence() { return kWindowTest; }

PlacedText ApplyMeasuringRule(std::string_view text, int flags, int windowHeight,
                              const std::function<int(std::string_view, int)>& measureHeight) {
  PlacedText placed{std::string(text), flags};
  if ((flags & kAlignMeasure) == 0) return placed;
  placed.flags &= ~kAlignMeasure;
  const int64_t measured = measureHeight(placed.text, placed.flags);
  if (measured * 2 > int64_t{windowHeight} * 3) {
    if (const size_t lineBreak = placed.text.find('\n'); lineBreak != std::string::npos) placed.text[lineBreak] = ' ';
  }
  return placed;
}

PopupSet::PopupSet(std::vector<PopupLayout> layouts) : layouts_(std::move(layouts)), windows_(layouts_.size()) {
  for (size_t i = 0; i < layouts_.size(); ++i) {
    const auto code = static_cast<size_t>(layouts_[i].code);
    if (code < kTableCodeCount) table_[code] = i;
  }
}

std::optional<size_t> PopupSet::WindowOf(FieldCode code) const {
  const auto index = static_cast<size_t>(code);
  return index < kTableCodeCount ? table_[index] : std::nullopt;
}

bool PopupSet::IsAnnouncement(size_t window) const {
  const FieldCode code = layouts_[window].code;
  return code == FieldCode::kANNO || code == FieldCode::kANDI;
}

void PopupSet::Announce(uint32_t now) {
  for (FieldCode code : {FieldCode::kANNO, FieldCode::kANDI}) {
    if (const std::optional<size_t> window = WindowOf(code)) {
      windows_[*window].closeTick = now + layouts_[*window].openTime;
    }
  }
}

void PopupSet::ClearTimes() {
  for (WindowState& state : windows_) {
    state.dueTick.reset();
    state.closeTick.reset();
  }
}

bool PopupSet::Due(size_t window, uint32_t now) {
  WindowState& state = windows_[window];
  const uint32_t open = layouts_[window].openTime;
  if (state.dueTick && gps::TickDistance(now, *state.dueTick) < open) return false;
  // Lands in the future, near the middle of a second, so a 1 s timer never meets it just early.
  state.dueTick = open - now % 1000 + now - 500;
  return true;
}

void PopupSet::Redraw(size_t window, const DisplayInputs& inputs, std::vector<PopupUpdate>& updates) {
  WindowState& state = windows_[window];
  const bool show = windowsVisible_ || layouts_[window].code == FieldCode::kPSNT;
  state.shown = state.shown || show;
  updates.push_back({window, show, ComputeContent(layouts_[window], inputs), false});
}

void PopupSet::RefreshAnnouncement(size_t window, const DisplayInputs& inputs, uint32_t now,
                                   std::vector<PopupUpdate>& updates) {
  WindowState& state = windows_[window];
  const uint32_t open = layouts_[window].openTime;
  if (state.closeTick && inputs.announcedPoiTracked && gps::TickDistance(now, *state.closeTick) <= open) {
    if (windowsVisible_) state.shown = true;
    if (state.shown) updates.push_back({window, windowsVisible_, ComputeContent(layouts_[window], inputs), false});
    return;
  }
  if (!state.closeTick && !state.shown) return;
  state.closeTick.reset();
  if (layouts_[window].code == FieldCode::kANNO) {
    announcementClosed_ = true;
    updates.push_back(Hide(window, BlankContent(layouts_[window])));
  } else {
    updates.push_back(Hide(window));
  }
}

PopupUpdate PopupSet::Hide(size_t window, std::optional<PopupContent> content) {
  windows_[window].shown = false;
  return {window, false, std::move(content), true};
}

std::vector<PopupUpdate> PopupSet::Refresh(const DisplayInputs& inputs, uint32_t now) {
  announcementClosed_ = false;
  std::vector<PopupUpdate> updates;
  if (!popupsShown_) return updates;
  for (FieldCode code : kRefreshOrder) {
    const std::optional<size_t> window = WindowOf(code);
    if (!window) continue;
    if (IsAnnouncement(*window)) {
      RefreshAnnouncement(*window, inputs, now, updates);
    } else if (Due(*window, now)) {
      Redraw(*window, inputs, updates);
    }
  }
  return updates;
}

std::vector<PopupUpdate> PopupSet::RedrawStatus(const DisplayInputs& inputs) {
  std::vector<PopupUpdate> updates;
  if (const std::optional<size_t> window = WindowOf(FieldCode::kPSNT); window && popupsShown_) {
    Redraw(*window, inputs, updates);
  }
  return updates;
}

std::vector<PopupUpdate> PopupSet::RefreshAll(const DisplayInputs& inputs) {
  std::vector<PopupUpdate> updates;
  for (size_t i = 0; i < layouts_.size(); ++i) {
    windows_[i].shown = true;
    updates.push_back({i, true, ComputeContent(layouts_[i], inputs), false});
  }
  return updates;
}

std::vector<PopupUpdate> PopupSet::HideAll(bool keepStatusAndAnnouncement) {
  std::vector<PopupUpdate> updates;
  for (size_t i = 0; i < layouts_.size(); ++i) {
    const bool kept = IsAnnouncement(i) || layouts_[i].code == FieldCode::kPSNT;
    if (!(keepStatusAndAnnouncement && kept)) updates.push_back(Hide(i));
  }
  return updates;
}

std::vector<PopupUpdate> PopupSet::ShowNames() {
  std::vector<PopupUpdate> updates;
  for (size_t i = 0; i < layouts_.size(); ++i) {
    PopupContent content = BlankContent(layouts_[i]);
    content.text = layouts_[i].name;
    content.textAlign = kAlignCentre | kAlignVCentre | kAlignSingleLine;
    content.needleAngle.reset();
    windows_[i].shown = true;
    updates.push_back({i, true, std::move(content), false});
  }
  return updates;
}

std::vector<PopupUpdate> PopupSet::ClearAll() {
  std::vector<PopupUpdate> updates;
  for (size_t i = 0; i < layouts_.size(); ++i) updates.push_back({i, false, BlankContent(layouts_[i]), false});
  return updates;
}

void PopupSet::RecordPress(size_t window, uint32_t tick, int x, int y) {
  if (window < windows_.size()) windows_[window].press = Pointer{tick, x, y};
}

void PopupSet::RecordRelease(size_t window, uint32_t tick, int x, int y) {
  if (window < windows_.size()) windows_[window].release = Pointer{tick, x, y};
}

std::vector<PopupTap> PopupSet::TakeTaps() {
  std::vector<PopupTap> taps;
  for (size_t i = 0; i < windows_.size(); ++i) {
    WindowState& state = windows_[i];
    if (!state.release) continue;  // a pen still down is a tap of the next second
    if (state.press && !IsAnnouncement(i)) {
      taps.push_back({layouts_[i].name, layouts_[i].code, state.release->tick - state.press->tick});
    }
    state.press.reset();
    state.release.reset();
  }
  return taps;
}

}  // namespace warner::display
