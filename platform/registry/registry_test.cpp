#include "platform/registry/registry.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/errors/errors.h"
#include "platform/testing/system_root.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr Hive kMachine = Hive::kLocalMachine;

// Every test gets a fresh system root, so both hives start without a file.
class RegistryTest : public testing::SystemRootTest {
 protected:
  void TearDown() override { SetRegistryBusyTimeoutForTest(kRegistryBusyTimeoutMs); }

  static RegistryKey MustCreate(Hive hive, std::string_view path) {
    RegistryKey key;
    EXPECT_EQ(RegistryKey::Create(hive, path, key), 0u) << path;
    return key;
  }
};

std::vector<std::string> Subkeys(const RegistryKey& key) {
  std::vector<std::string> names;
  std::string name;
  while (key.EnumSubkey(static_cast<uint32_t>(names.size()), name) == 0) names.push_back(name);
  EXPECT_EQ(GetLastError(), kErrorNoMoreItems);
  return names;
}

TEST_F(RegistryTest, KeysAreCreatedLevelByLevelAndOpenedWithoutRegardToCase) {
  RegistryKey key;
  bool created = false;
  ASSERT_EQ(RegistryKey::Create(Hive::kCurrentUser, "software\\Velmora\\SercastMgr", key, &created), 0u);
  EXPECT_TRUE(created);
  EXPECT_EQ(key.Path(), "software\\Velmora\\SercastMgr");
  EXPECT_TRUE(fs::exists(HiveFilePath(Hive::kCurrentUser)));
  EXPECT_EQ(HiveFilePath(Hive::kCurrentUser), root_ + "/Registry/user.db");

  ASSERT_EQ(RegistryKey::Create(Hive::kCurrentUser, "SOFTWARE/velmora/SercastMgrTMC", key, &created), 0u);
  EXPECT_TRUE(created);
  EXPECT_EQ(key.Path(), "software\\Velmora\\SercastMgrTMC");  // existing levels keep their case
  ASSERT_EQ(RegistryKey::Create(Hive::kCurrentUser, "\\Software\\Velmora\\SERCASTMGR\\", key, &created), 0u);
  EXPECT_FALSE(created);

  RegistryKey opened;
  ASSERT_EQ(RegistryKey::Open(Hive::kCurrentUser, "SOFTWARE\\VELMORA\\sercastmgr", opened), 0u);
  EXPECT_EQ(opened.Path(), "software\\Velmora\\SercastMgr");
  EXPECT_EQ(RegistryKey::Open(Hive::kCurrentUser, "software\\Nobody\\SercastMgr", opened), kErrorFileNotFound);
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_FALSE(opened.IsOpen());

  // The hives are separate, and the root opens with an empty path.
  EXPECT_EQ(RegistryKey::Open(kMachine, "software", opened), kErrorFileNotFound);
  ASSERT_EQ(RegistryKey::Open(Hive::kCurrentUser, "", opened), 0u);
  EXPECT_EQ(Subkeys(opened), std::vector<std::string>{"software"});
}

TEST_F(RegistryTest, ValuesKeepTheirTypeAndAWrongTypeIsRefused) {
  RegistryKey key = MustCreate(kMachine, "Drivers\\SercastNG");
  ASSERT_EQ(key.SetString("FriendlyName", "SercastNG on Zürich:"), 0u);
  ASSERT_EQ(key.SetDword("Index", 0xFFFFFFFEu), 0u);
  ASSERT_EQ(key.SetBinary("Blob", {0x00, 0x7F, 0xFF}), 0u);
  ASSERT_EQ(key.SetBinary("Empty", {}), 0u);

  std::string text;
  uint32_t number = 0;
  ValueType actual = ValueType::kNone;
  EXPECT_EQ(key.QueryString("FRIENDLYNAME", text, &actual), 0u);
  EXPECT_EQ(text, "SercastNG on Zürich:");
  EXPECT_EQ(key.QueryDword("index", number), 0u);
  EXPECT_EQ(number, 0xFFFFFFFEu);

  EXPECT_EQ(key.QueryString("Index", text, &actual), kErrorInvalidData);
  EXPECT_EQ(actual, ValueType::kDword);
  EXPECT_EQ(key.QueryDword("FriendlyName", number, &actual), kErrorInvalidData);
  EXPECT_EQ(actual, ValueType::kString);
  EXPECT_EQ(key.QueryDword("Blob", number, &actual), kErrorInvalidData);
  EXPECT_EQ(actual, ValueType::kBinary);
  EXPECT_EQ(key.QueryDword("Missing", number), kErrorFileNotFound);

  RegistryValue value;
  ASSERT_EQ(key.QueryValue("blob", value), 0u);
  EXPECT_EQ(value.type, ValueType::kBinary);
  EXPECT_EQ(value.data, (std::vector<uint8_t>{0x00, 0x7F, 0xFF}));
  ASSERT_EQ(key.QueryValue("Empty", value), 0u);
  EXPECT_TRUE(value.data.empty());

  // Overwriting may change the type; the name keeps its first spelling.
  ASSERT_EQ(key.SetDword("FRIENDLYNAME", 7), 0u);
  EXPECT_EQ(key.QueryDword("FriendlyName", number), 0u);
  EXPECT_EQ(number, 7u);
  std::string name;
  ASSERT_EQ(key.EnumValue(2, name, &actual), 0u);
  EXPECT_EQ(name, "FriendlyName");

  EXPECT_EQ(key.SetValue("Short", RegistryValue{ValueType::kDword, {1, 2, 3}}), kErrorInvalidParameter);
  EXPECT_EQ(key.SetValue("Odd", RegistryValue{static_cast<ValueType>(7), {}}), kErrorInvalidParameter);
  EXPECT_EQ(key.QueryValue("Short", value), kErrorFileNotFound);
}

TEST_F(RegistryTest, EnumerationFollowsTheCaseBlindOrderAndEndsWith259) {
  RegistryKey key = MustCreate(kMachine, "Ports");
  for (const char* name : {"COM2:", "com1:", "COM10:"}) {
    MustCreate(kMachine, std::string("Ports\\") + name);
    ASSERT_EQ(key.SetString(name, "x"), 0u);
  }
  ASSERT_EQ(key.SetDword("Beta", 1), 0u);
  // The digit 0 sorts before the colon.
  EXPECT_EQ(Subkeys(key), (std::vector<std::string>{"COM10:", "com1:", "COM2:"}));

  std::string name;
  ValueType type = ValueType::kNone;
  std::vector<std::string> values;
  for (uint32_t i = 0; key.EnumValue(i, name, &type) == 0; ++i) values.push_back(name);
  EXPECT_EQ(GetLastError(), kErrorNoMoreItems);
  EXPECT_EQ(values, (std::vector<std::string>{"Beta", "COM10:", "com1:", "COM2:"}));
  ASSERT_EQ(key.EnumValue(0, name, &type), 0u);
  EXPECT_EQ(type, ValueType::kDword);
  EXPECT_EQ(key.EnumValue(4, name), kErrorNoMoreItems);
  EXPECT_EQ(key.EnumSubkey(1000, name), kErrorNoMoreItems);
}

TEST_F(RegistryTest, DeletingRemovesValuesAndWholeSubtrees) {
  RegistryKey driver = MustCreate(kMachine, "Drivers\\SercastNG");
  RegistryKey deep = MustCreate(kMachine, "Drivers\\SercastNG\\Sub\\Deeper");
  ASSERT_EQ(deep.SetDword("Order", 1), 0u);
  MustCreate(kMachine, "Drivers\\SercastNGTMC");
  ASSERT_EQ(driver.SetString("Dll", "SercastNG.dll"), 0u);

  EXPECT_EQ(driver.DeleteValue("DLL"), 0u);
  EXPECT_EQ(driver.DeleteValue("Dll"), kErrorFileNotFound);

  EXPECT_EQ(RegistryKey::DeleteKey(kMachine, "drivers\\sercastng"), 0u);
  RegistryKey opened;
  EXPECT_EQ(RegistryKey::Open(kMachine, "Drivers\\SercastNG\\Sub", opened), kErrorFileNotFound);
  ASSERT_EQ(RegistryKey::Open(kMachine, "Drivers", opened), 0u);
  EXPECT_EQ(Subkeys(opened), std::vector<std::string>{"SercastNGTMC"});
  EXPECT_EQ(RegistryKey::DeleteKey(kMachine, "Drivers\\SercastNG"), kErrorFileNotFound);
  EXPECT_EQ(RegistryKey::DeleteKey(kMachine, "\\"), kErrorAccessDenied);

  // Keys held open across the deletion know it, even once the path exists again.
  RegistryKey again = MustCreate(kMachine, "Drivers\\SercastNG\\Sub\\Deeper");
  uint32_t number = 0;
  std::string name;
  EXPECT_EQ(deep.QueryDword("Order", number), kErrorKeyDeleted);
  EXPECT_EQ(deep.SetDword("Order", 2), kErrorKeyDeleted);
  EXPECT_EQ(driver.EnumSubkey(0, name), kErrorKeyDeleted);
  EXPECT_EQ(again.QueryDword("Order", number), kErrorFileNotFound);
  EXPECT_EQ(again.SetDword("Order", 3), 0u);

  RegistryKey closed;
  EXPECT_EQ(closed.SetDword("x", 1), kErrorInvalidHandle);
  EXPECT_EQ(closed.Path(), "");
}

TEST_F(RegistryTest, ThreadsShareOneOpenKey) {
  RegistryKey key = MustCreate(kMachine, "Shared");
  std::vector<std::thread> threads;
  threads.reserve(4);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&key, t] {
      for (uint32_t i = 0; i < 25; ++i) {
        EXPECT_EQ(key.SetDword("t" + std::to_string(t) + "_" + std::to_string(i), i), 0u);
        uint32_t back = 99;
        EXPECT_EQ(key.QueryDword("t" + std::to_string(t) + "_" + std::to_string(i), back), 0u);
        EXPECT_EQ(back, i);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  std::string name;
  EXPECT_EQ(key.EnumValue(99, name), 0u);
  EXPECT_EQ(key.EnumValue(100, name), kErrorNoMoreItems);
}

// One process writes 500 values, one call each, while this one reads them through a key it holds
// open and creates keys of its own.
TEST_F(RegistryTest, TwoProcessesUseOneHiveAtOnce) {
  constexpr uint32_t kValues = 500;
  RegistryKey writer = MustCreate(kMachine, "Writer");
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    char byte = 0;
    int failures = read(go[0], &byte, 1) != 1;
    RegistryKey key;
    failures += RegistryKey::Open(kMachine, "Writer", key) != 0;
    for (uint32_t i = 0; i < kValues; ++i) failures += key.SetDword("v" + std::to_string(i), i * 3) != 0;
    _exit(failures > 100 ? 100 : failures);
  }

  int failures = 0;
  int created = 0;
  int reads = 0;
  int status = 0;
  ASSERT_EQ(write(go[1], "x", 1), 1);
  while (waitpid(child, &status, WNOHANG) == 0) {
    std::string name;
    const uint32_t error = writer.EnumValue(static_cast<uint32_t>(reads++ % kValues), name);
    failures += error != 0 && error != kErrorNoMoreItems;
    if (reads % 8 == 0) {
      RegistryKey key;
      failures += RegistryKey::Create(kMachine, "Reader\\K" + std::to_string(created++), key) != 0;
    }
  }
  close(go[0]);
  close(go[1]);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(failures, 0);

  for (uint32_t i = 0; i < kValues; ++i) {
    uint32_t value = 0;
    ASSERT_EQ(writer.QueryDword("v" + std::to_string(i), value), 0u) << i;
    EXPECT_EQ(value, i * 3);
  }
  RegistryKey reader;
  EXPECT_EQ(RegistryKey::Open(kMachine, "Reader", reader), created > 0 ? 0u : kErrorFileNotFound);
  if (created > 0) {
    EXPECT_EQ(Subkeys(reader).size(), static_cast<size_t>(created));
  }
}

// Another process holds the write lock: writers give up with 32 after the busy time-out, readers
// go on.
TEST_F(RegistryTest, AHiveLockedByAnotherProcessGives32AfterTheBusyTimeOut) {
  RegistryKey key = MustCreate(kMachine, "Locked");
  ASSERT_EQ(key.SetDword("Before", 1), 0u);
  int locked[2];
  int release[2];
  ASSERT_EQ(pipe(locked), 0);
  ASSERT_EQ(pipe(release), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    sqlite3* db = nullptr;
    const bool ok = sqlite3_open(HiveFilePath(kMachine).c_str(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    char byte = ok ? 'y' : 'n';
    if (write(locked[1], &byte, 1) != 1 || read(release[0], &byte, 1) != 1) _exit(2);
    _exit(ok ? 0 : 1);
  }
  char byte = 0;
  ASSERT_EQ(read(locked[0], &byte, 1), 1);
  ASSERT_EQ(byte, 'y');

  SetRegistryBusyTimeoutForTest(200);
  RegistryKey late;
  ASSERT_EQ(RegistryKey::Open(kMachine, "Locked", late), 0u);
  const auto start = Clock::now();
  EXPECT_EQ(late.SetDword("During", 2), kErrorSharingViolation);
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  EXPECT_GE(waited, 150);
  EXPECT_LT(waited, 2000);
  EXPECT_EQ(GetLastError(), kErrorSharingViolation);
  EXPECT_EQ(RegistryKey::Create(kMachine, "Locked\\New", late), kErrorSharingViolation);
  uint32_t value = 0;
  ASSERT_EQ(RegistryKey::Open(kMachine, "Locked", late), 0u);
  EXPECT_EQ(late.QueryDword("Before", value), 0u);

  ASSERT_EQ(write(release[1], "x", 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(late.SetDword("After", 3), 0u);
  for (int fd : {locked[0], locked[1], release[0], release[1]}) close(fd);
}

TEST_F(RegistryTest, AHiveFileThatIsNoDatabaseIsReportedCorrupt) {
  fs::create_directories(root_ + "/Registry");
  std::ofstream(HiveFilePath(kMachine)) << std::string(4096, 'x');
  RegistryKey key;
  EXPECT_EQ(RegistryKey::Open(kMachine, "Drivers", key), kErrorRegistryCorrupt);
  EXPECT_FALSE(key.IsOpen());
}

}  // namespace
}  // namespace platform
