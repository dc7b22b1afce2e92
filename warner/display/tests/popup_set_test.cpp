#include "warner/display/popup_set.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace warner::display {
namespace {

constexpr uint32_t kNearWrap = 0xFFFFFC00u;  // 1024 ms before the counter wraps

class PopupSetTest : public ::testing::Test {
 protected:
  PopupSetTest() : set_(ParseWindowLayouts("[PSNT]\n[ANNO]\n[ANDI]\n[SPED]\n[Mine]\n", 3)) {
    inputs_.announcedPoiTracked = true;
  }

  // The windows a refresh at `now` touches, as "name:action" words.
  std::string Touched(uint32_t now) {
    std::string touched;
    for (const PopupUpdate& u : set_.Refresh(inputs_, now)) {
      touched += set_.Layouts()[u.window].name + (u.hide ? ":hide " : u.show ? ":show " : ":draw ");
    }
    return touched;
  }

  PopupSet set_;
  DisplayInputs inputs_;
};

TEST_F(PopupSetTest, WindowsAreDueOncePerOpenTimeAcrossTheWrap) {
  // The stored tick lands 500..1499 ms ahead, so a one-second timer draws every second or two.
  EXPECT_EQ(Touched(kNearWrap), "PSNT:show SPED:show ");
  EXPECT_EQ(Touched(kNearWrap + 400), "");
  EXPECT_EQ(Touched(kNearWrap + 1400), "PSNT:show SPED:show ");  // across the wrap
  EXPECT_EQ(Touched(kNearWrap + 2400), "");                      // next tick stored 124 ms after the last draw
  EXPECT_EQ(Touched(kNearWrap + 3400), "PSNT:show SPED:show ");
  // While hidden by a tap on the status window, the data windows are drawn but stay hidden.
  set_.SetWindowsVisible(false);
  EXPECT_EQ(Touched(kNearWrap + 5000), "PSNT:show SPED:draw ");
  EXPECT_EQ(set_.RedrawStatus(inputs_).size(), 1u);  // out of turn, on a new status icon
  set_.SetPopupsShown(false);
  EXPECT_EQ(Touched(kNearWrap + 9000), "");
  EXPECT_TRUE(set_.RedrawStatus(inputs_).empty());
}

TEST_F(PopupSetTest, AnnouncementWindowsCloseAfterUpToTwiceTheirOpenTime) {
  set_ = PopupSet(ParseWindowLayouts("[ANNO]\n[ANDI]\n", 3));
  set_.Announce(kNearWrap);  // close tick 3000 ms later, across the wrap
  EXPECT_EQ(Touched(kNearWrap + 100), "ANNO:show ANDI:show ");
  EXPECT_EQ(Touched(kNearWrap + 6000), "ANNO:show ANDI:show ");
  EXPECT_FALSE(set_.AnnouncementClosed());
  std::vector<PopupUpdate> closing = set_.Refresh(inputs_, kNearWrap + 6001);
  ASSERT_EQ(closing.size(), 2u);
  EXPECT_TRUE(closing[0].hide);
  ASSERT_TRUE(closing[0].content);
  EXPECT_EQ(closing[0].content->text, "");  // the picture goes with the text
  EXPECT_TRUE(set_.AnnouncementClosed());
  EXPECT_EQ(Touched(kNearWrap + 7000), "");  // closed windows are not hidden again and again

  // A POI no longer tracked closes them at once.
  set_.Announce(20000);
  EXPECT_EQ(Touched(20500), "ANNO:show ANDI:show ");
  inputs_.announcedPoiTracked = false;
  EXPECT_EQ(Touched(21000), "ANNO:hide ANDI:hide ");
}

TEST_F(PopupSetTest, AnnouncementWindowsStayHiddenWhileWindowsAreHidden) {
  set_.SetWindowsVisible(false);
  set_.Announce(1000);
  EXPECT_EQ(Touched(1000), "PSNT:show SPED:draw ");
}

TEST_F(PopupSetTest, HideAllCanKeepStatusAndAnnouncement) {
  const auto hidden = [](const std::vector<PopupUpdate>& updates) {
    std::vector<size_t> windows;
    windows.reserve(updates.size());
    for (const PopupUpdate& u : updates) windows.push_back(u.window);
    return windows;
  };
  EXPECT_EQ(hidden(set_.HideAll()), (std::vector<size_t>{0, 1, 2, 3, 4}));
  EXPECT_EQ(hidden(set_.HideAll(true)), (std::vector<size_t>{3, 4}));
}

TEST_F(PopupSetTest, TapsArePressAndReleaseOutsideTheAnnouncement) {
  set_.RecordPress(0, 0xFFFFFF00u, 1, 1);
  set_.RecordRelease(0, 0x100, 1, 1);  // held 512 ms across the wrap
  set_.RecordPress(1, 10, 1, 1);       // ANNO: no tap
  set_.RecordRelease(1, 20, 1, 1);
  set_.RecordPress(3, 10, 1, 1);  // pen still down
  EXPECT_EQ(set_.TakeTaps(), (std::vector<PopupTap>{{"PSNT", FieldCode::kPSNT, 512}}));
  set_.RecordRelease(3, 1510, 1, 1);
  EXPECT_EQ(set_.TakeTaps(), (std::vector<PopupTap>{{"SPED", FieldCode::kSPED, 1500}}));
  EXPECT_TRUE(set_.TakeTaps().empty());
}

TEST_F(PopupSetTest, WindowTestShowsNamesCentred) {
  const std::vector<PopupUpdate> names = set_.ShowNames();
  ASSERT_EQ(names.size(), 5u);
  EXPECT_EQ(names[4].content->text, "Mine");
  EXPECT_EQ(names[4].content->textAlign, kAlignCentre | kAlignVCentre | kAlignSingleLine);
  uint32_t total = 0;
  for (const WindowTestStep& step : WindowTestSequence()) total += step.waitMs;
  EXPECT_EQ(total, 5500u);
  EXPECT_EQ(WindowTestSequence().back().action, WindowTestAction::kHide);
}

TEST(MeasuringRuleTest, TwoLinesBecomeOneWhenTooHigh) {
  const auto lines = [](std::string_view text, int) {
    return 10 * static_cast<int>(1 + std::count(text.begin(), text.end(), '\n'));
  };
  const struct {
    int flags;
    int height;
    const char* text;
    int outFlags;
  } kCases[] = {
      {0x402, 12, "a b\nc", 0x2},   // 20 > 18
      {0x402, 14, "a\nb\nc", 0x2},  // 30 > 21: only the first break goes
      {0x400, 14, "a\nb", 0x0},     // 20 <= 21
      {0x002, 5, "a\nb", 0x2},      // no measuring asked
  };
  const char* expected[] = {"a b c", "a b\nc", "a\nb", "a\nb"};
  for (size_t i = 0; i < std::size(kCases); ++i) {
    const PlacedText placed = ApplyMeasuringRule(kCases[i].text, kCases[i].flags, kCases[i].height, lines);
    EXPECT_EQ(placed.text, expected[i]) << i;
    EXPECT_EQ(placed.flags, kCases[i].outFlags) << i;
  }
}

}  // namespace
}  // namespace warner::display
