#include "warner/app/session_popups.h"

#include <utility>

#include "platform/clock/clock.h"
#include "platform/paths/paths.h"
#include "warner/display/popup_layout.h"
#include "warner/session/warner_session.h"

namespace warner {

namespace {

PopupSources WithDefaults(PopupSources sources) {
  if (!sources.tickCount) sources.tickCount = platform::GetTickCount;
  if (!sources.power) sources.power = [] { return platform::ReadPowerStatus(platform::PowerSupplyFolder()); };
  if (!sources.timeZoneBias) sources.timeZoneBias = platform::TimeZoneBiasMinutes;
  return sources;
}

display::SatelliteState SatelliteOf(StatusIcon icon) {
  switch (icon) {
    case StatusIcon::kFix: return display::SatelliteState::kFix;
    case StatusIcon::kNoFix: return display::SatelliteState::kNoFix;
    default: return display::SatelliteState::kOther;
  }
}

}  // namespace

SessionPopups::SessionPopups(platform::Reporter& reporter, PopupSurfaceFactory factory, PopupSources sources)
    : reporter_(reporter), factory_(std::move(factory)), sources_(WithDefaults(std::move(sources))) {}

// The windows go before the set they show.
SessionPopups::~SessionPopups() { surface_.reset(); }

bool SessionPopups::Create(WarnerSession& session) {
  session_ = &session;
  const WarnerSettings& settings = session.Settings();
  std::vector<display::PopupLayout> layouts;
  const std::string path = platform::JoinPath(settings.programFolder, WindowLayoutFileName(settings.mode));
  if (display::ReadWindowLayouts(path, settings.announceOpenTime, layouts, reporter_) != 0) return false;
  surface_.reset();
  set_.emplace(std::move(layouts));
  surface_ = factory_(*set_);
  // Windows that could not be made were said; the warner goes on with the others.
  surface_->Create();
  return true;
}

display::DisplayInputs SessionPopups::Inputs() const {
  display::DisplayInputs inputs;
  if (session_ == nullptr) return inputs;
  inputs.fix = session_->Decoder().Snapshot();
  WarnerSession::AnnouncementView announcement = session_->LastAnnouncement();
  inputs.announcementText = std::move(announcement.text);
  inputs.announcementBitmap = std::move(announcement.bitmapPath);
  inputs.announcementDistance = announcement.signedDistance;
  inputs.announcedPoiTracked = announcement.tracked;
  const traffic::TmcStatus traffic = session_->TrafficStatus();
  inputs.trafficMessageCount = traffic.messageCount;
  inputs.stationText = traffic.stationName;
  // The power-supply folder is read only for a window that shows it.
  if (set_ && set_->WindowOf(display::FieldCode::kBATT)) inputs.battery = display::BatteryFromPower(sources_.power());
  inputs.satellite = SatelliteOf(icon_);
  inputs.displayLongitudeFirst = session_->Settings().displayLongitudeFirst != 0;
  inputs.timeZoneBiasMinutes = sources_.timeZoneBias();
  return inputs;
}

void SessionPopups::Apply(const std::vector<display::PopupUpdate>& updates) {
  if (surface_ && !updates.empty()) surface_->Apply(updates);
}

void SessionPopups::Refresh(uint32_t nowMs, bool windowsVisible) {
  if (!set_ || !set_->PopupsShown()) return;
  set_->SetWindowsVisible(windowsVisible);
  Apply(set_->Refresh(Inputs(), nowMs));
  if (set_->AnnouncementClosed()) session_->ClearAnnouncement();
}

void SessionPopups::HideAll(bool keepStatus) {
  if (set_) Apply(set_->HideAll(keepStatus));
}

void SessionPopups::ClearCloseTimes() {
  if (set_) set_->ClearTimes();
}

void SessionPopups::Announced() {
  if (!set_) return;
  const uint32_t now = sources_.tickCount();
  set_->Announce(now);
  // Shown at once rather than with the next second's refresh.
  Refresh(now, set_->WindowsVisible());
}

void SessionPopups::SetStatusIcon(StatusIcon icon) {
  icon_ = icon;
  if (!set_) return;
  // Recoloured where it is seen; a hidden status window takes the colour with its next refresh.
  const std::optional<size_t> status = set_->WindowOf(display::FieldCode::kPSNT);
  if (status && set_->IsShown(*status)) Apply(set_->RedrawStatus(Inputs()));
}

std::vector<PopupTap> SessionPopups::TakeTaps() {
  std::vector<PopupTap> taps;
  if (!set_) return taps;
  for (display::PopupTap& tap : set_->TakeTaps()) taps.push_back({std::move(tap.name), tap.heldMs});
  return taps;
}

void SessionPopups::RunWindowTest() {
  if (surface_) surface_->RunWindowTest([this] { return Inputs(); });
}

void SessionPopups::Pause() {
  if (!set_) return;
  set_->SetPopupsShown(false);
  Apply(set_->HideAll());
}

void SessionPopups::ShowAnnouncementWindow(std::optional<display::PopupContent> content) {
  const std::optional<size_t> window = set_ ? set_->WindowOf(display::FieldCode::kANNO) : std::nullopt;
  if (!window) return;
  const bool show = content.has_value();
  Apply({{*window, show, std::move(content), !show}});
}

void SessionPopups::ShowCleared() {
  if (const std::optional<size_t> window = set_ ? set_->WindowOf(display::FieldCode::kANNO) : std::nullopt) {
    ShowAnnouncementWindow(display::BlankContent(set_->Layouts()[*window]));
  }
}

bool SessionPopups::ShowBitmap(const std::string& path) {
  const std::optional<size_t> window = set_ ? set_->WindowOf(display::FieldCode::kANNO) : std::nullopt;
  if (!window || !platform::FileExists(path)) return false;
  display::PopupContent content = display::BlankContent(set_->Layouts()[*window]);
  content.bitmapPath = path;
  ShowAnnouncementWindow(std::move(content));
  return true;
}

void SessionPopups::ShowText(const std::string& text) {
  if (const std::optional<size_t> window = set_ ? set_->WindowOf(display::FieldCode::kANNO) : std::nullopt) {
    display::PopupContent content = display::BlankContent(set_->Layouts()[*window]);
    content.text = text;
    ShowAnnouncementWindow(std::move(content));
  }
}

void SessionPopups::Resume() {
  if (set_) set_->SetPopupsShown(true);
}

}  // namespace warner
