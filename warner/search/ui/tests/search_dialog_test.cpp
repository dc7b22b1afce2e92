// The "Search Surround" dialog on the offscreen platform: real widgets clicked.

#include "warner/search/ui/search_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <memory>
#include <string>
#include <vector>

#include "platform/reports/scripted_reporter.h"
#include "platform/testing/files.h"
#include "platform/testing/temp_folder.h"

namespace warner::ui {
namespace {

class SearchDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "warner_search_ui_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  static void TearDownTestSuite() { app_.reset(); }

  SearchDialogTest() {
    settings_.ascReadDirPath = settings_.ascWriteDirPath = folder_.Path().string() + "/";
    fix_.longitude = 11.0;
    fix_.latitude = 48.0;
    fix_.fixQuality = 1;
    fix_.hour = 7;
  }

  std::unique_ptr<SearchDialog> Open(QSize screen) {
    auto dialog = std::make_unique<SearchDialog>(model_, nullptr, screen,
                                                 [this](const std::string& note) { startupLog_.push_back(note); });
    dialog->show();
    return dialog;
  }

  static void Click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }

  static inline std::unique_ptr<QApplication> app_;
  const platform::testing::TempFolder folder_{"search_ui"};
  WarnerSettings settings_;
  gps::GpsFix fix_;
  platform::ScriptedReporter reporter_;
  std::vector<std::string> startupLog_;
  SearchDialogModel model_{settings_, [this] { return fix_; }, reporter_};
};

TEST_F(SearchDialogTest, SearchSelectAndOkWriteTheFavourite) {
  platform::testing::WriteFile(folder_ / "cams.asc", "11.1, 48.0, \"Caf\xE9\"\n11.0, 48.05, \"north\"\n");
  platform::testing::WriteFile(folder_ / "more.asc", "");
  settings_.searchSurrASCFile = "CAMS.ASC";  // the last choice, found again whatever its case
  const auto dialog = Open({240, 320});
  EXPECT_TRUE(startupLog_.empty());  // portrait: the template stands
  EXPECT_EQ(dialog->RadiusList()->currentText(), "10");
  EXPECT_EQ(dialog->FileList()->currentText(), "cams.asc");
  EXPECT_FALSE(dialog->OkButton()->isEnabled());
  ASSERT_TRUE(dialog->SearchButton()->isEnabled());
  EXPECT_EQ(dialog->ResultList()->headerItem()->text(0), " Dist");
  EXPECT_EQ(dialog->ResultList()->columnWidth(0), 40);

  Click(dialog->SearchButton());
  QTreeWidget* rows = dialog->ResultList();
  ASSERT_EQ(rows->topLevelItemCount(), 2);
  EXPECT_EQ(rows->topLevelItem(0)->text(2), "north");
  EXPECT_EQ(rows->topLevelItem(1)->text(0), "7.4");
  EXPECT_EQ(rows->topLevelItem(1)->text(1), QString::fromUtf8("90\u00B0"));
  EXPECT_EQ(rows->topLevelItem(1)->text(2), QString::fromUtf8("Caf\u00E9"));
  EXPECT_TRUE(dialog->SearchButton()->isEnabled());
  EXPECT_TRUE(dialog->CancelButton()->isEnabled());
  EXPECT_FALSE(dialog->OkButton()->isEnabled());

  const QRect second = rows->visualItemRect(rows->topLevelItem(1));
  QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, second.center());
  ASSERT_TRUE(dialog->OkButton()->isEnabled());
  Click(dialog->OkButton());
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(platform::testing::ReadFile(folder_ / "SntFav.ASC"), "11.1, 48.0, \"Caf\xE9\"\r\n");
  EXPECT_EQ(settings_.searchSurrASCFile, "cams.asc");
  EXPECT_TRUE(reporter_.Records().empty());
}

TEST_F(SearchDialogTest, WithoutFilesSearchStaysOffAndLandscapeStacksTheButtons) {
  const auto dialog = Open({800, 480});
  EXPECT_FALSE(dialog->SearchButton()->isEnabled());
  ASSERT_EQ(reporter_.Records().size(), 1u);
  EXPECT_EQ(reporter_.Records()[0].text.rfind("No *.asc files found.\n", 0), 0u);

  const QRect search = dialog->SearchButton()->geometry(), ok = dialog->OkButton()->geometry();
  const QRect cancel = dialog->CancelButton()->geometry(), list = dialog->ResultList()->geometry();
  EXPECT_EQ(search.right(), dialog->width() - 4);  // 3 pixels from the edge
  EXPECT_EQ(search.top(), 3);
  EXPECT_EQ(ok.top(), search.bottom() + 4);
  EXPECT_EQ(cancel.top(), ok.bottom() + 4);
  EXPECT_EQ(list.bottom(), dialog->height() - 4);
  EXPECT_LT(list.right(), search.left());
  ASSERT_EQ(startupLog_.size(), 4u);
  EXPECT_EQ(startupLog_[2].rfind("Moving Button Cancel\r\nFrom x ", 0), 0u);
  Click(dialog->CancelButton());
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

}  // namespace
}  // namespace warner::ui
