// The editor's window on the offscreen platform: real widgets clicked and typed into, file
// dialogs scripted, the real converter run.

#include "converter/editor/ui/config_editor_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <deque>
#include <filesystem>
#include <memory>

#include "platform/reports/scripted_reporter.h"
#include "platform/testing/files.h"
#include "platform/testing/reports.h"
#include "platform/testing/temp_folder.h"

namespace converter::editor::ui {
namespace {

namespace fs = std::filesystem;
using platform::testing::Texts;

class ConfigEditorDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "converter_editor_ui_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  static void TearDownTestSuite() { app_.reset(); }

  ConfigEditorDialogTest() {
    dialog_.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog_));
  }

  template <typename Widget>
  Widget* Find(const QString& name) const {
    for (Widget* widget : dialog_.findChildren<Widget*>()) {
      if (widget->objectName() == name || widget->property("text").toString() == name) return widget;
    }
    ADD_FAILURE() << "no widget " << name.toStdString();
    return nullptr;
  }
  QTableWidget* Table() const { return Find<QTableWidget>("subcategories"); }
  QLineEdit* CellEdit() const { return Find<QLineEdit>("cellEditor"); }
  QRect CellRect(int row, int column) const { return Table()->visualRect(Table()->model()->index(row, column)); }
  void ClickCell(int row, int column, Qt::MouseButton button = Qt::LeftButton) const {
    QTest::mouseClick(Table()->viewport(), button, {}, CellRect(row, column).center());
  }
  void TypeIntoCell(int row, int column, const QString& text) const {
    ClickCell(row, column);
    QTest::keyClicks(CellEdit(), text);
    QTest::keyClick(CellEdit(), Qt::Key_Return);
  }
  QString Shown(int row, int column) const { return Table()->item(row, column)->text(); }

  static inline std::unique_ptr<QApplication> app_;
  platform::testing::TempFolder folder_{"converter_editor_ui_test"};
  platform::ScriptedReporter reporter_;
  std::deque<std::string> choices_;
  ConfigEditor editor_{{folder_.Path().string() + "/", PLACEFORGE_PATH},
                       reporter_,
                       [this](const FileDialogRequest&) -> std::optional<std::string> {
                         if (choices_.empty()) return std::nullopt;
                         std::string path = choices_.front();
                         choices_.pop_front();
                         return path;
                       }};
  ConfigEditorDialog dialog_{editor_, reporter_, "placewright", "1.0"};
};

TEST_F(ConfigEditorDialogTest, ClickTypeEnterAndEscape) {
  EXPECT_EQ(dialog_.windowTitle(), "Placewright");
  EXPECT_EQ(Table()->rowCount(), 1000);
  EXPECT_EQ(Shown(8, 0), " 9");

  ClickCell(0, 1);
  ASSERT_TRUE(CellEdit()->isVisible());
  EXPECT_TRUE(CellEdit()->hasFocus());
  EXPECT_EQ(CellEdit()->geometry().topLeft(), CellRect(0, 1).topLeft());
  QTest::keyClicks(CellEdit(), "  Cams ");
  QTest::keyClick(CellEdit(), Qt::Key_Return);
  EXPECT_FALSE(CellEdit()->isVisible());
  EXPECT_EQ(Shown(0, 1), "Cams");
  EXPECT_TRUE(editor_.Modified());

  ClickCell(0, 1);
  EXPECT_EQ(CellEdit()->selectedText(), "Cams");
  QTest::keyClicks(CellEdit(), "Other");
  QTest::keyClick(CellEdit(), Qt::Key_Escape);
  EXPECT_FALSE(CellEdit()->isVisible());
  EXPECT_EQ(Shown(0, 1), "Cams");

  // Escape without an editor asks, since the table was modified; No keeps the window.
  reporter_.QueueAnswer(false);
  QTest::keyClick(Table(), Qt::Key_Escape);
  EXPECT_TRUE(dialog_.isVisible());
  // Closing the window commits an open editor, then asks.
  ClickCell(0, 12);
  QTest::keyClicks(CellEdit(), "400m");
  reporter_.QueueAnswer(false);
  dialog_.close();
  EXPECT_TRUE(dialog_.isVisible());
  EXPECT_EQ(Shown(0, 12), "400m");

  // Exit closes an open editor first and stays; then it asks, and Yes ends the dialog.
  ClickCell(0, 2);
  QTest::mouseClick(Find<QPushButton>("Exit"), Qt::LeftButton);
  EXPECT_FALSE(CellEdit()->isVisible());
  EXPECT_TRUE(dialog_.isVisible());
  reporter_.QueueAnswer(true);
  QTest::mouseClick(Find<QPushButton>("Exit"), Qt::LeftButton);
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_EQ(Texts(reporter_), std::vector<std::string>(3, "Data was modified.\nDo you want to quit anyway?"));
}

TEST_F(ConfigEditorDialogTest, DigitCellsTakeDigitsOnly) {
  ClickCell(2, 2);
  QTest::keyClicks(CellEdit(), "12a3");
  EXPECT_EQ(CellEdit()->text(), "123");
  EXPECT_EQ(CellEdit()->alignment() & Qt::AlignRight, Qt::AlignRight);
  QTest::keyClick(CellEdit(), Qt::Key_Enter);
  EXPECT_EQ(Shown(2, 2), "123");

  // A pasted text that is no number: refused, the previous value back in the box.
  ClickCell(2, 2);
  editor_.SetEditorText("12a");
  QTest::keyClick(CellEdit(), Qt::Key_Return);
  EXPECT_TRUE(CellEdit()->isVisible());
  EXPECT_EQ(CellEdit()->text(), "123");
  EXPECT_EQ(Texts(reporter_), std::vector<std::string>{"The list item must be numeric."});
}

TEST_F(ConfigEditorDialogTest, NarrowCellsGetAWiderEditor) {
  const int m = Table()->fontMetrics().horizontalAdvance('M');
  const int clientWidth = Table()->viewport()->width();
  for (int column : {3, 7, 11}) {  // ZoTx (2 characters), S (4), IV WAV (130)
    ClickCell(0, column);
    const QRect cell = CellRect(0, column);
    const int minWidth = 4 * Columns()[static_cast<size_t>(column)].maxChars * m / 5;
    const Span span = EditorSpan({cell.x(), cell.width()}, minWidth, clientWidth);
    EXPECT_EQ(CellEdit()->geometry(), QRect(span.left, cell.y(), span.width, cell.height())) << column;
    EXPECT_GE(CellEdit()->x(), 0);
    EXPECT_LE(CellEdit()->geometry().right(), clientWidth);
  }
  EXPECT_GT(CellEdit()->width(), CellRect(0, 11).width());
}

TEST_F(ConfigEditorDialogTest, FieldsAndListsReachTheModel) {
  // Focus on the main group commits an open cell editor.
  ClickCell(1, 1);
  QTest::keyClicks(CellEdit(), "Open");
  QLineEdit* mainGroup = Find<QLineEdit>("mainGroup");
  mainGroup->setFocus();
  EXPECT_EQ(Shown(1, 1), "Open");
  EXPECT_FALSE(CellEdit()->isVisible());
  QTest::keyClicks(mainGroup, "Roads");
  EXPECT_EQ(editor_.Table().mainGroup, "Roads");

  QComboBox* target = Find<QComboBox>("target");
  QComboBox* region = Find<QComboBox>("region");
  QTest::keyClick(target, Qt::Key_End);
  EXPECT_EQ(editor_.Table().target, TargetSystem::kDestinatorCsv);
  EXPECT_FALSE(region->isEnabled());
  QTest::keyClick(target, Qt::Key_Up);
  QTest::keyClick(target, Qt::Key_Up);
  EXPECT_TRUE(region->isEnabled());
  QTest::keyClick(region, Qt::Key_Home);
  EXPECT_EQ(editor_.Table().region, MapRegion::kAmerica);
  QTest::mouseClick(Find<QCheckBox>("includeComments"), Qt::LeftButton);
  EXPECT_FALSE(editor_.Table().includeComments);
}

TEST_F(ConfigEditorDialogTest, SaveThroughTheFileDialog) {
  QTest::keyClicks(Find<QLineEdit>("mainGroup"), "Roads");
  TypeIntoCell(0, 1, "Cams");
  TypeIntoCell(0, 2, "101");
  TypeIntoCell(0, 4, "/poi/a_rather_long_folder/cams.asc");
  ClickCell(0, 6, Qt::RightButton);  // nothing chosen
  choices_ = {"/bmp/cam.bmp", folder_.File("saved.txt")};
  ClickCell(0, 6, Qt::RightButton);
  EXPECT_EQ(Shown(0, 4), "~long_folder/cams.asc");
  EXPECT_EQ(Shown(0, 6), "/bmp/cam.bmp");
  QTest::mouseClick(Find<QPushButton>("Save Config"), Qt::LeftButton);
  const std::string saved = platform::testing::ReadFile(folder_ / "saved.txt");
  EXPECT_NE(saved.find("MainGroup = Roads\n"), std::string::npos);
  EXPECT_NE(saved.find("\nSubGroup = Cams\nSubCategory = 101\nASCFile = /poi/a_rather_long_folder/cams.asc\n"),
            std::string::npos);
  EXPECT_FALSE(editor_.Modified());
  EXPECT_TRUE(reporter_.Records().empty()) << Texts(reporter_).front();
}

TEST_F(ConfigEditorDialogTest, ConvertRunsTheConverterOnTheSample) {
  const fs::path sample = folder_ / "sample";
  fs::copy(SAMPLE_DATA_DIR, sample, fs::copy_options::recursive);
  choices_ = {(sample / "placeforge.txt").string()};
  QTest::mouseClick(Find<QPushButton>("Load Config"), Qt::LeftButton);
  EXPECT_EQ(Find<QLineEdit>("mainGroup")->text(), "SampleRoads");
  EXPECT_EQ(Shown(5, 1), "FuelStations");
  EXPECT_EQ(Find<QComboBox>("target")->currentText(), "NavigonOEM");
  EXPECT_TRUE(Find<QComboBox>("region")->isEnabled());

  const fs::path cwd = fs::current_path();
  fs::current_path(sample);  // the sample's lists are relative to its folder
  QTest::mouseClick(Find<QPushButton>("Convert"), Qt::LeftButton);
  fs::current_path(cwd);
  EXPECT_TRUE(fs::exists(folder_ / "POI/Sentry.snt"));
  EXPECT_TRUE(fs::exists(folder_ / "POI/SampleRoads/SampleRoads.nam"));
  ASSERT_EQ(reporter_.Records().size(), 1u);
  EXPECT_NE(reporter_.Records()[0].text.find("Total number of POIs: 51"), std::string::npos);
  EXPECT_FALSE(editor_.Modified());
}

}  // namespace
}  // namespace converter::editor::ui
