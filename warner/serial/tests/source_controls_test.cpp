#include "warner/serial/source_controls.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/reports/scripted_reporter.h"
#include "platform/testing/temp_folder.h"
#include "warner/serial/port_entry.h"

namespace serial {
namespace {

namespace fs = std::filesystem;
using Items = std::vector<std::string>;

TEST(PortEntryKind, PortNumbersUpTo32AndTheFileEntry) {
  EXPECT_EQ(PortEntryKind("COM6:"), 6);
  EXPECT_EQ(PortEntryKind("COM32:"), 32);
  EXPECT_EQ(PortEntryKind("COM0:"), 0);
  EXPECT_EQ(PortEntryKind("FILE"), 256);
  EXPECT_EQ(PortEntryKind("file"), 256);
  EXPECT_EQ(PortEntryKind("File"), 256);
  EXPECT_EQ(PortEntryKind("COM33:"), -1);
  EXPECT_EQ(PortEntryKind("COM99999999999999999999:"), -1);
  EXPECT_EQ(PortEntryKind("COMx:"), -1);
  EXPECT_EQ(PortEntryKind("COM"), -1);
  EXPECT_EQ(PortEntryKind(""), -1);
  EXPECT_EQ(PortEntryKind("FILES"), -1);
}

driver::PortTable Table(const std::vector<std::pair<const char*, const char*>>& ports) {
  driver::PortTable table(driver::kWarnerPortTableSize, driver::kWarnerDeviceListChars);
  for (const auto& [port, friendly] : ports) table.AddEntry("Key", port, friendly, "", "");
  return table;
}

class Controls : public ::testing::Test {
 protected:
  SourceSelection selection_;
  platform::ScriptedReporter reporter_;
  SourceControls controls_{selection_, reporter_};
};

TEST_F(Controls, PortListEndsWithFileAndShowsFriendlyNamesOnRequest) {
  const driver::PortTable table = Table({{"COM1:", "Serial"}, {"COM4:", "GPS receiver"}});
  EXPECT_EQ(controls_.FillPortCombo(table, false), 3u);
  EXPECT_EQ(controls_.PortItems(), (Items{"COM1:", "COM4:", "FILE"}));
  EXPECT_EQ(controls_.FillPortCombo(table, true), 3u);
  EXPECT_EQ(controls_.PortItems(), (Items{"COM1: Serial", "COM4: GPS receiver", "FILE"}));

  EXPECT_EQ(controls_.FillPortCombo(Table({}), false), 1u);
  EXPECT_EQ(controls_.PortItems(), (Items{"FILE"}));
}

TEST_F(Controls, StoredPortSelectsTheEntryThatBeginsIt) {
  controls_.FillPortCombo(Table({{"COM1:", "Serial"}, {"COM4:", "GPS"}}), true);
  controls_.SelectPortEntry("com4:");
  EXPECT_EQ(controls_.PortIndex(), 1u);
  EXPECT_EQ(selection_.portName, "COM4:") << "the device name, not the shown text";
  controls_.SelectPortEntry("file");
  EXPECT_EQ(controls_.PortIndex(), 2u);
  controls_.SelectPortEntry("COM9:");
  EXPECT_EQ(controls_.PortIndex(), 0u);
  EXPECT_EQ(selection_.portName, "COM1:");
}

TEST_F(Controls, BaudListAndItsFallback) {
  controls_.FillBaudCombo();
  EXPECT_EQ(controls_.BaudItems(),
            (Items{"1200", "2400", "4800", "9600", "14400", "19200", "38400", "57600", "115200"}));
  controls_.SelectBaud(38400);
  EXPECT_EQ(controls_.BaudIndex(), 6u);
  EXPECT_EQ(selection_.baudRate, 38400);
  controls_.SelectBaud(4000);
  EXPECT_EQ(controls_.BaudIndex(), 2u);
  EXPECT_EQ(selection_.baudRate, 4800);
}

TEST_F(Controls, ModeSwitchEnablesTheSourceControls) {
  controls_.FillPortCombo(Table({{"COM1:", ""}}), false);
  controls_.SelectPortEntry("FILE");
  selection_.filePath = "/logs/drive.gps";
  EXPECT_STREQ(controls_.ModeButtonText(), ">Stand\rAlone");
  EXPECT_FALSE(controls_.SourceControlsEnabled());
  EXPECT_FALSE(controls_.FileControlEnabled());
  controls_.ToggleSourceMode();
  EXPECT_TRUE(selection_.standAlone);
  EXPECT_STREQ(controls_.ModeButtonText(), "<Ser-\rcast");
  EXPECT_TRUE(controls_.SourceControlsEnabled());
  EXPECT_TRUE(controls_.FileControlEnabled());
  EXPECT_EQ(controls_.FileNameText(), "drive.gps");
  controls_.SelectPortEntry("COM1:");
  EXPECT_FALSE(controls_.FileControlEnabled());
}

class PortChoice : public Controls {
 protected:
  void SetUp() override {
    log_ = (dir_ / "drive.gps").string();
    std::ofstream(log_) << "$GPGGA\r\n";
    controls_.FillPortCombo(Table({{"COM1:", ""}, {"COM4:", ""}}), false);
    controls_.SelectPortEntry("COM4:");
    selection_.standAlone = true;
  }
  // A file dialog that answers `answer` and remembers what it was asked.
  FileChooser Answer(const std::optional<std::string>& answer) {
    return [this, answer](const FileDialogRequest& request) {
      asked_.push_back(request);
      return answer;
    };
  }

  const platform::testing::TempFolder folder_{"controls_test"};
  const fs::path dir_{folder_.Path()};
  std::string log_;
  std::vector<FileDialogRequest> asked_;
};

TEST_F(PortChoice, FileAsksForALogInTheGpsLogsFolder) {
  controls_.ChoosePortEntry(2, Answer(log_));
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].title, "GPS Log File");
  EXPECT_EQ(asked_[0].startFolder, "\\GPSLogs");
  ASSERT_EQ(asked_[0].filters.size(), 2u);
  EXPECT_EQ(asked_[0].filters[0],
            std::make_pair(std::string("GPS Log File (*.txt;*.gps)"), std::string("*.txt;*.gps")));
  EXPECT_EQ(asked_[0].filters[1], std::make_pair(std::string("All Files (*.*)"), std::string("*.*")));
  EXPECT_EQ(controls_.PortIndex(), 2u);
  EXPECT_EQ(selection_.portName, "FILE");
  EXPECT_EQ(selection_.filePath, log_);

  // A port clears the file.
  controls_.ChoosePortEntry(0, Answer(std::nullopt));
  EXPECT_EQ(selection_.portName, "COM1:");
  EXPECT_EQ(selection_.filePath, "");
  EXPECT_EQ(asked_.size(), 1u);
}

TEST_F(PortChoice, CancelOrABadPathPutsThePreviousEntryBack) {
  controls_.ChoosePortEntry(2, Answer(std::nullopt));
  EXPECT_EQ(controls_.PortIndex(), 1u);
  EXPECT_EQ(selection_.portName, "COM4:");
  EXPECT_TRUE(reporter_.Records().empty());

  for (const std::string& bad : {(dir_ / "missing.gps").string(), dir_.string()}) {
    controls_.ChoosePortEntry(2, Answer(bad));
    EXPECT_EQ(controls_.PortIndex(), 1u);
    ASSERT_FALSE(reporter_.Records().empty());
    EXPECT_EQ(reporter_.Records().back().text, "Can't open '" + bad + "'\n");
  }
}

TEST_F(PortChoice, IgnoredInVirtualMode) {
  selection_.standAlone = false;
  controls_.ChoosePortEntry(0, Answer(log_));
  EXPECT_EQ(selection_.portName, "COM4:");
}

}  // namespace
}  // namespace serial
