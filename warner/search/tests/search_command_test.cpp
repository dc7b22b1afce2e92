#include "warner/search/search_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/testing/files.h"
#include "platform/testing/temp_folder.h"

namespace warner {
namespace {

TEST(SearchCommandLine, PositionAndRadius) {
  const struct {
    const char* text;
    bool valid;
    double latitude, longitude;
  } positions[] = {{"48.0,11.0", true, 48, 11}, {"-33.9,-18.4", true, -33.9, -18.4},
                   {"0,0", true, 0, 0},         {"48.0", false, 0, 0},
                   {"48.0,", false, 0, 0},      {"91,11", false, 0, 0},
                   {"48,181", false, 0, 0},     {"48.0x,11", false, 0, 0},
                   {"nan,11", false, 0, 0}};
  for (const auto& p : positions) {
    const auto parsed = ParseSearchPosition(p.text);
    ASSERT_EQ(parsed.has_value(), p.valid) << p.text;
    if (parsed) {
      EXPECT_EQ(*parsed, std::make_pair(p.latitude, p.longitude)) << p.text;
    }
  }
  EXPECT_EQ(ParseSearchRadius("2.5"), 2.5);
  for (const char* bad : {"0", "-1", "", "ten", "inf"}) EXPECT_FALSE(ParseSearchRadius(bad)) << bad;
}

class SearchCommandRun : public ::testing::Test {
 protected:
  // The output of a run and its exit code.
  std::pair<int, std::string> Run(bool json, const std::string& list) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int code = RunSearchCommand({list, 48.0, 11.0, 10.0, json}, out, err);
    std::string text(4096, '\0');
    std::rewind(out);
    text.resize(std::fread(text.data(), 1, text.size(), out));
    std::fclose(out);
    std::fclose(err);
    return {code, text};
  }

  const platform::testing::TempFolder folder_{"search_command"};
  const std::string list_ = folder_.File("list.asc");
};

TEST_F(SearchCommandRun, PrintsTheRowsAsTextOrJson) {
  platform::testing::WriteFile(list_, "11.1, 48.0, \"Caf\xE9 \x1B[2J\"\n11.0, 48.05, \"north\"\n20, 48, \"far\"\n");
  EXPECT_EQ(Run(false, list_), std::make_pair(0, std::string("5.6\t0\u00B0\tnorth\t11.0\t48.05\n"
                                                             "7.4\t90\u00B0\tCaf\u00E9 \\x1B[2J\t11.1\t48.0\n")));
  EXPECT_EQ(Run(true, list_),
            std::make_pair(0, std::string("{\"distance\":\"5.6\",\"direction\":\"0\u00B0\",\"description\":\"north\","
                                          "\"longitude\":\"11.0\",\"latitude\":\"48.05\"}\n"
                                          "{\"distance\":\"7.4\",\"direction\":\"90\u00B0\",\"description\":"
                                          "\"Caf\u00E9 \\u001b[2J\",\"longitude\":\"11.1\",\"latitude\":\"48.0\"}\n")));
  EXPECT_EQ(Run(false, folder_.File("gone.asc")).first, kSearchListUnreadable);
}

}  // namespace
}  // namespace warner
