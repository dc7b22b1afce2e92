#include "warner/app/session_popups.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/reports/scripted_reporter.h"
#include "platform/testing/files.h"
#include "platform/testing/system_root.h"
#include "warner/session/warner_session.h"

namespace warner {
namespace {

namespace fs = std::filesystem;

// The windows of a face, reduced to the updates they were asked to apply.
struct RecordedSurface final : PopupSurface {
  explicit RecordedSurface(std::vector<display::PopupUpdate>& updates) : updates_(updates) {}
  int Create() override { return 0; }
  void Apply(const std::vector<display::PopupUpdate>& updates) override {
    updates_.insert(updates_.end(), updates.begin(), updates.end());
  }
  void RunWindowTest(std::function<display::DisplayInputs()>) override {}
  std::vector<display::PopupUpdate>& updates_;
};

// The sample drive replayed against the sample database, with the sample layout.
class SessionPopupsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder_);
    fs::copy_file(SAMPLE_DATA_DIR "/waypost/Waypost.ini", folder_ / "Waypost.ini");
    fs::copy_file(SAMPLE_DATABASE, folder_ / "Sentry.snt");
    platform::testing::WriteFile(folder_ / "SntGlobals.ini", "AnnounceOpenTime = 10\n");
  }

  SessionPopups Make() {
    return SessionPopups(reporter_, [this](display::PopupSet&) { return std::make_unique<RecordedSurface>(updates_); },
                         {[this] { return now_; }, [] { return platform::PowerStatus{}; }, [] { return 0; }});
  }

  std::unique_ptr<WarnerSession> Session() {
    return std::make_unique<WarnerSession>(SessionOptions{folder_.string()}, reporter_, [](uint32_t) {});
  }

  // The last update of the window with the field code `code`.
  const display::PopupUpdate* LastOf(const SessionPopups& popups, display::FieldCode code) const {
    const std::optional<size_t> window = popups.Set()->WindowOf(code);
    for (auto it = updates_.rbegin(); window && it != updates_.rend(); ++it) {
      if (it->window == *window) return &*it;
    }
    return nullptr;
  }

  const platform::testing::TempSystemRoot system_;
  const platform::testing::ScopedEnv sound_{"DW_SOUND", "null"};
  const fs::path folder_ = system_.Folder() / "warner";
  platform::ScriptedReporter reporter_;
  std::vector<display::PopupUpdate> updates_;
  uint32_t now_ = 5000;
};

TEST_F(SessionPopupsTest, AnAnnouncementOpensItsWindowsWithTheSessionsPoiAndTheyCloseAgain) {
  auto session = Session();
  SessionPopups popups = Make();
  ASSERT_TRUE(popups.Create(*session));
  ASSERT_TRUE(session->ActivateDatabase());
  // The drive up to just after the camera was announced, so that it is still tracked.
  const std::string drive = platform::testing::ReadFile(SAMPLE_DATA_DIR "/drive.nmea");
  platform::testing::WriteFile(folder_ / "drive.nmea", drive.substr(0, drive.find(",073036.")));
  session->ReplayLog((folder_ / "drive.nmea").string(), false);
  const WarnerSession::AnnouncementView announced = session->LastAnnouncement();
  ASSERT_FALSE(announced.text.empty()) << "the sample drive passes a camera";

  popups.Announced();
  const display::PopupUpdate* anno = LastOf(popups, display::FieldCode::kANNO);
  ASSERT_NE(anno, nullptr);
  ASSERT_TRUE(anno->show && anno->content);
  EXPECT_EQ(anno->content->bitmapPath, announced.bitmapPath);
  if (announced.bitmapPath.empty()) {
    EXPECT_EQ(anno->content->text, announced.text);
  }
  const display::PopupUpdate* andi = LastOf(popups, display::FieldCode::kANDI);
  ASSERT_TRUE(andi != nullptr && andi->content);
  EXPECT_NE(andi->content->text.find('m'), std::string::npos) << andi->content->text;

  // Past twice the open time the windows close and the announcement is forgotten.
  now_ += 25000;
  popups.Refresh(now_, true);
  EXPECT_TRUE(LastOf(popups, display::FieldCode::kANNO)->hide);
  EXPECT_TRUE(session->LastAnnouncement().text.empty());
}

TEST_F(SessionPopupsTest, TheStatusWindowTakesTheIconsColourOnlyWhereItIsSeen) {
  auto session = Session();
  SessionPopups popups = Make();
  ASSERT_TRUE(popups.Create(*session));
  popups.SetStatusIcon(StatusIcon::kFix);
  EXPECT_TRUE(updates_.empty()) << "hidden while inactive";
  popups.Refresh(now_, true);
  updates_.clear();
  popups.SetStatusIcon(StatusIcon::kNoFix);
  const display::PopupUpdate* noFix = LastOf(popups, display::FieldCode::kPSNT);
  ASSERT_TRUE(noFix != nullptr && noFix->content);
  const uint32_t noFixColour = noFix->content->background;
  popups.SetStatusIcon(StatusIcon::kFix);
  const display::PopupUpdate* fix = LastOf(popups, display::FieldCode::kPSNT);
  ASSERT_TRUE(fix != nullptr && fix->content);
  EXPECT_NE(fix->content->background, noFixColour);
}

TEST_F(SessionPopupsTest, TheSoundTestShowsEachBitmapInTheAnnouncementWindow) {
  auto session = Session();
  SessionPopups popups = Make();
  ASSERT_TRUE(popups.Create(*session));
  SoundTestWindow& window = *popups.SoundTestDisplay();
  const std::string bitmap = SAMPLE_DATA_DIR "/bitmaps/Camera.bmp";
  ASSERT_TRUE(window.ShowBitmap(bitmap));
  const display::PopupUpdate* shown = LastOf(popups, display::FieldCode::kANNO);
  ASSERT_TRUE(shown != nullptr && shown->show && shown->content);
  EXPECT_EQ(shown->content->bitmapPath, bitmap);
  EXPECT_FALSE(window.ShowBitmap(SAMPLE_DATA_DIR "/bitmaps/Missing.bmp")) << "the test then shows the text";
  window.ShowText("Camera");
  EXPECT_EQ(LastOf(popups, display::FieldCode::kANNO)->content->text, "Camera");
  window.Hide();
  EXPECT_TRUE(LastOf(popups, display::FieldCode::kANNO)->hide);
}

TEST_F(SessionPopupsTest, AMissingLayoutFileIsSaidAndEndsTheStart) {
  fs::remove(folder_ / "Waypost.ini");
  auto session = Session();
  SessionPopups popups = Make();
  EXPECT_FALSE(popups.Create(*session));
  EXPECT_FALSE(popups.Exists());
  const auto records = reporter_.Records();
  ASSERT_FALSE(records.empty());
  EXPECT_NE(records.back().text.find("Can't open"), std::string::npos);
}

}  // namespace
}  // namespace warner
