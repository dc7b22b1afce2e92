#include "driver/registry/port_table.h"

#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "driver/registry/driver_keys.h"
#include "platform/devices/port_map.h"
#include "platform/registry/registry.h"
#include "platform/reports/scripted_reporter.h"
#include "platform/testing/pty.h"
#include "platform/testing/system_root.h"

namespace driver {
namespace {

struct Listed {
  std::string key, port, friendly, imprint;
};

class PortTableTest : public platform::testing::SystemRootTest {
 protected:
  void AddDriverKey(const std::string& path, const char* prefix, int index, const char* friendly = nullptr,
                    const char* imprint = nullptr) {
    platform::RegistryKey key;
    ASSERT_EQ(platform::RegistryKey::Create(platform::Hive::kLocalMachine, path, key), 0u);
    if (prefix != nullptr) {
      EXPECT_EQ(key.SetString("Prefix", prefix), 0u);
    }
    if (index >= 0) {
      EXPECT_EQ(key.SetDword("Index", static_cast<uint32_t>(index)), 0u);
    }
    if (friendly != nullptr) {
      EXPECT_EQ(key.SetString("FriendlyName", friendly), 0u);
    }
    if (imprint != nullptr) {
      EXPECT_EQ(key.SetString("Imprint", imprint), 0u);
    }
  }
  // A pseudo-terminal that the port map ties to `port`; it stays open for the test.
  void MapPort(const char* port) { platform::testing::MapPort(port, ptys_.emplace_back().slavePath()); }
  std::vector<Listed> Enumerate(bool filterCom, int stopAfter = 1000) {
    std::vector<Listed> listed;
    EXPECT_EQ(EnumerateDriverKeys(
                  [&](const char* key, const char* port, const char* friendly, const char* spare, const char* imprint) {
                    EXPECT_STREQ(spare, "");
                    listed.push_back({key, port, friendly, imprint});
                    return static_cast<int>(listed.size()) < stopAfter ? 1 : 0;
                  },
                  filterCom),
              0u);
    return listed;
  }
  static std::vector<std::string> PortNames(const PortTable& table) {
    std::vector<std::string> names;
    for (const PortEntry& e : table.Entries()) names.emplace_back(e.portName);
    return names;
  }

  platform::ScriptedReporter reporter_;
  std::list<platform::testing::Pty> ptys_;
};

TEST_F(PortTableTest, EnumeratesComDriverKeysOfBothRoots) {
  AddDriverKey("Drivers\\SercastNG", "COM", 6, "SercastNG on COM1:", kImprint);
  AddDriverKey("Drivers\\BuiltIn\\Serial", "com", 1);
  AddDriverKey("Drivers\\BuiltIn\\Audio", "WAV", 0);
  AddDriverKey("Drivers\\NoIndex", "COM", -1);
  AddDriverKey("Drivers\\NoPrefix", nullptr, 3);

  const std::vector<Listed> listed = Enumerate(true);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].key, "SercastNG");
  EXPECT_EQ(listed[0].port, "COM6:");
  EXPECT_EQ(listed[0].friendly, "SercastNG on COM1:");
  EXPECT_EQ(listed[0].imprint, kImprint);
  EXPECT_EQ(listed[1].key, "Serial");
  EXPECT_EQ(listed[1].port, "com1:");
  EXPECT_EQ(listed[1].friendly, "Serial");  // no FriendlyName: the key's name
  EXPECT_EQ(listed[1].imprint, "");

  EXPECT_EQ(Enumerate(false).size(), 3u);  // WAV0: too
  EXPECT_EQ(Enumerate(true, 1).size(), 1u);
}

TEST_F(PortTableTest, NoDriversKeyAtAllIsAnEmptyEnumeration) { EXPECT_TRUE(Enumerate(true).empty()); }

TEST_F(PortTableTest, SortsByTheFirstEightCharactersWithoutRegardToCase) {
  AddDriverKey("Drivers\\A", "COM", 2);
  AddDriverKey("Drivers\\B", "com", 1);
  AddDriverKey("Drivers\\C", "COM", 10);
  PortTable table(kWarnerPortTableSize, kWarnerDeviceListChars);
  ASSERT_EQ(table.BuildPortTable(reporter_), 3u);
  EXPECT_EQ(PortNames(table), (std::vector<std::string>{"COM10:", "com1:", "COM2:"}));
  EXPECT_TRUE(reporter_.Records().empty());
}

TEST_F(PortTableTest, PortOfADriverKeyAndTheDeviceListIsEnteredOnce) {
  AddDriverKey("Drivers\\SercastNG", "COM", 4, "SercastNG on FILE", kImprint);
  MapPort("COM4:");
  MapPort("COM6:");
  PortTable table(kWarnerPortTableSize, kWarnerDeviceListChars);
  ASSERT_EQ(table.BuildPortTable(reporter_), 2u);
  EXPECT_STREQ(table.Entries()[0].portName, "COM4:");
  EXPECT_STREQ(table.Entries()[0].friendlyName, "SercastNG on FILE");
  EXPECT_TRUE(IsOwnImprint(table.Entries()[0].imprint));
  // COM6: came with the device list, so it is not probed as the hidden Bluetooth port.
  EXPECT_STREQ(table.Entries()[1].portName, "COM6:");
  EXPECT_STREQ(table.Entries()[1].friendlyName, "");
}

TEST_F(PortTableTest, FullTableAndShortDeviceListKeepWhatFits) {
  for (int i = 1; i <= 5; ++i) AddDriverKey("Drivers\\K" + std::to_string(i), "COM", 10 + i);
  PortTable small(3, kManagerDeviceListChars);
  EXPECT_EQ(small.BuildPortTable(reporter_), 3u);

  MapPort("COM7:");
  MapPort("COM8:");
  PortTable tight(kManagerPortTableSize, 8);  // room for "COM7:" and the terminators only
  EXPECT_EQ(tight.BuildPortTable(reporter_), 6u);
  const auto records = reporter_.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_NE(records[0].text.find("Not enough place reserved for the device list.\n"), std::string::npos);
  EXPECT_EQ(PortNames(tight).back(), "COM7:");
}

TEST(ImprintTest, ComparesTheFirstEightCharactersWithoutRegardToCase) {
  EXPECT_TRUE(IsOwnImprint("Velmora GmbH"));
  EXPECT_TRUE(IsOwnImprint("VELMORA gmbh, anything"));
  EXPECT_FALSE(IsOwnImprint("Velmora"));
  EXPECT_FALSE(IsOwnImprint("VelmoraGmbH"));
  EXPECT_FALSE(IsOwnImprint(""));
  EXPECT_FALSE(IsOwnImprint(nullptr));
}

}  // namespace
}  // namespace driver
