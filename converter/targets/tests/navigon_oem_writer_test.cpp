#include "converter/targets/navigon_oem_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "converter/targets/target_writers.h"
#include "converter/targets/tests/target_test_util.h"
#include "platform/bytes/little_endian.h"

namespace converter::testing {
namespace {

// "07 00 ff" as bytes; blanks are ignored.
std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i < hex.size();) {
    if (hex[i] == ' ') {
      ++i;
      continue;
    }
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    i += 2;
  }
  return bytes;
}

std::string Zeros(size_t count) { return std::string(count, '\0'); }

// The field of `width` bytes at `at`; one that runs past the file throws, which fails the test.
const uint8_t* Field(const std::string& bytes, size_t at, size_t width) {
  static_cast<void>(bytes.at(at + width - 1));
  return reinterpret_cast<const uint8_t*>(bytes.data()) + at;
}
uint32_t Le32(const std::string& bytes, size_t at) { return platform::GetLe32(Field(bytes, at, 4)); }
uint16_t Le16(const std::string& bytes, size_t at) { return platform::GetLe16(Field(bytes, at, 2)); }

std::string NameEntry(const std::string& text) { return static_cast<char>(text.size()) + text + "\x02\x7C"; }

class NameFileTest : public TargetTest {};

TEST_F(NameFileTest, ProducerBlankAndOneEntryPerShownPoi) {
  config_.subcategories = {Sub("Cams", 7), Sub("Quiet", 8)};
  config_.subcategories[1].fontSizeCode = 0xC000;  // FontSize 0
  std::vector<ParsedPoi> pois = {Poi(0, 1, 1, "Cam"), Poi(1, 2, 2, "hidden"), Poi(0, 3, 3, "")};
  std::string producer;
  ASSERT_EQ(WriteNameFile(config_, pois, texts_, *log_, &producer), 0);

  EXPECT_EQ(producer, "Compiled with Placeforge V4.2.0.0, free POI tools of the driver-warner project");
  const size_t blank = producer.size() + 3;
  EXPECT_EQ(Hex(Out("Cams.nam")), Hex(NameEntry(producer) + FromHex("01 20 02 7c  03 43 61 6d 02 7c  00 02 7c")));
  EXPECT_EQ(pois[0].namOffset, static_cast<int32_t>(blank + 4));
  EXPECT_EQ(pois[1].namOffset, static_cast<int32_t>(blank)) << "a subcategory without font size shares the blank";
  EXPECT_EQ(pois[2].namOffset, static_cast<int32_t>(blank + 10));
  EXPECT_EQ(LogText(), "");
}

TEST_F(NameFileTest, EntriesNeverCrossABlockAndTheLastBlockEndsWithItsEntry) {
  config_.subcategories = {Sub("Cams", 7)};
  const std::string longest(254, 'x');
  std::vector<ParsedPoi> pois(31, Poi(0, 0, 0, longest));
  // Producer (81) + blank (4) + 31 * 257 leaves 140 bytes: an entry of 137 characters fills the
  // block exactly, the next one starts the second block.
  pois.push_back(Poi(0, 0, 0, std::string(137, 'y')));
  pois.push_back(Poi(0, 0, 0, longest));
  pois.push_back(Poi(0, 0, 0, longest));
  ASSERT_EQ(WriteNameFile(config_, pois, texts_, *log_, nullptr), 0);

  const std::string file = Out("Cams.nam");
  EXPECT_EQ(pois[1].namOffset - pois[0].namOffset, 257) << "254 characters take 257 bytes";
  EXPECT_EQ(pois[0].namOffset, 85);
  EXPECT_EQ(pois[31].namOffset, 8192 - 140);
  EXPECT_EQ(pois[32].namOffset, 8192) << "an exactly filled block needs no padding";
  EXPECT_EQ(pois[33].namOffset, 8192 + 257);
  ASSERT_EQ(file.size(), 8192u + 2 * 257) << "the last block is cut after its last entry";
  EXPECT_EQ(file.substr(8192 - 140, 140), NameEntry(std::string(137, 'y')));
  EXPECT_EQ(file.substr(8192, 257), NameEntry(longest));

  // One more long entry after a 137-character one no longer fits: zero tail, next block.
  pois.erase(pois.begin() + 31);
  ASSERT_EQ(WriteNameFile(config_, pois, texts_, *log_, nullptr), 0);
  const std::string padded = Out("Cams.nam");
  EXPECT_EQ(pois[31].namOffset, 8192);
  EXPECT_EQ(padded.substr(8192 - 140, 140), Zeros(140));
  EXPECT_EQ(padded.size(), 8192u + 2 * 257);
}

TEST_F(NameFileTest, ATextBeyond254CharactersIsCutAt254) {
  config_.subcategories = {Sub("Cams", 7)};
  std::vector<ParsedPoi> pois = {Poi(0, 0, 0, std::string(kPoiTextSize, 'z'))};
  ASSERT_EQ(WriteNameFile(config_, pois, texts_, *log_, nullptr), 0);
  EXPECT_EQ(Out("Cams.nam").substr(85), NameEntry(std::string(254, 'z')));
}

TEST_F(TargetTest, DataFileHoldsLow24BitsAndPadsToTwoMoreBlocks) {
  config_.subcategories = {Sub("Cams", 7)};
  std::vector<ParsedPoi> pois = {Poi(0, -0.00001, 52.3, "a"), Poi(0, 13.5, -1.5, "b")};
  ASSERT_EQ(WriteDataFile(config_, pois, *log_), 0);
  EXPECT_EQ(Hex(Out("Cams.dat")), Hex(FromHex("00  ff ff ff b0 cd 4f  70 99 14 10 b6 fd") + Zeros(4096 - 13)));
  EXPECT_EQ(pois[0].datOffset, 1);
  EXPECT_EQ(pois[1].datOffset, 7);

  // 341 records end at 2047, 342 at 2053: (L div 2048 + 2) blocks either way.
  pois.assign(341, Poi(0, 1, 1, ""));
  ASSERT_EQ(WriteDataFile(config_, pois, *log_), 0);
  EXPECT_EQ(Out("Cams.dat").size(), 4096u);
  pois.assign(342, Poi(0, 1, 1, ""));
  ASSERT_EQ(WriteDataFile(config_, pois, *log_), 0);
  EXPECT_EQ(Out("Cams.dat").size(), 6144u);
  EXPECT_EQ(pois[341].datOffset, 1 + 341 * 6);
}

class IndexFileTest : public TargetTest {
 protected:
  // POIs with x100k = i and y100k = -i, offsets as the earlier writers would set them.
  std::vector<ParsedPoi> Grid(size_t count) {
    std::vector<ParsedPoi> pois(count);
    for (size_t i = 0; i < count; ++i) {
      pois[i].number = static_cast<int32_t>(i + 1);
      pois[i].x100k = static_cast<int32_t>(i);
      pois[i].y100k = -static_cast<int32_t>(i);
      pois[i].categoryNumber = 7;
      pois[i].datOffset = static_cast<int32_t>(1 + 6 * i);
      pois[i].namOffset = 85;
    }
    return pois;
  }

  std::string Block(const std::string& file, size_t number) { return file.substr(number * 2048, 2048); }
};

TEST_F(IndexFileTest, TwoPoisGoldenBytes) {
  config_.region = MapRegion::kAmerica;
  std::vector<ParsedPoi> pois = {Poi(0, -0.00001, 52.3, "a", 7), Poi(0, 13.5, -1.5, "b", -2)};
  Number(pois);
  pois[0].datOffset = 1, pois[0].namOffset = 85;
  pois[1].datOffset = 7, pois[1].namOffset = 91;
  ASSERT_EQ(WriteIndexFile(config_, pois, *log_), 0);

  const std::string file = Out("Cams.rid");
  ASSERT_EQ(file.size(), 3u * 2048);
  EXPECT_EQ(Hex(Block(file, 0)), Hex(FromHex("52 49 44 4c 03 00 00 00 00 08 00 00 02 00 03 00 01") + Zeros(2048 - 17)));
  EXPECT_EQ(Hex(Block(file, 1)), Hex(FromHex("45 00 00 00 02 00 00 00"
                                             "01 00 00 00 01 00 00 00 07 00 0a 74 55 00 00 00"
                                             "02 00 00 00 07 00 00 00 fe ff 0a 74 5b 00 00 00") +
                                     Zeros(2048 - 40)));
  // Minimum and maximum are taken for x and y on their own.
  EXPECT_EQ(Hex(Block(file, 2)), Hex(FromHex("42 00 00 00 01 00 00 00"
                                             "ff ff ff ff 10 b6 fd ff 70 99 14 00 b0 cd 4f 00 01 00 00 00") +
                                     Zeros(2048 - 28)));
}

TEST_F(IndexFileTest, LeafAndBoxBoundaries) {
  struct Case {
    size_t pois;
    uint16_t root, blocks;
  } const cases[] = {
      {0, 1, 2}, {1, 2, 3}, {127, 2, 3}, {128, 3, 4}, {size_t{102} * 127, 103, 104}, {size_t{102} * 127 + 1, 106, 107}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pois);
    ASSERT_EQ(WriteIndexFile(config_, Grid(c.pois), *log_), 0);
    const std::string file = Out("Cams.rid");
    EXPECT_EQ(Le16(file, 12), c.root);
    EXPECT_EQ(Le16(file, 14), c.blocks);
    EXPECT_EQ(file.size(), 2048u * c.blocks) << "the header names the file's real shape";
    EXPECT_EQ(Le32(Block(file, c.root), 0), 0x42u);
  }

  // 128: leaves of 127 and 1, one box block with both.
  ASSERT_EQ(WriteIndexFile(config_, Grid(128), *log_), 0);
  std::string file = Out("Cams.rid");
  EXPECT_EQ(Le32(file, 2048 + 4), 127u);
  EXPECT_EQ(Le32(file, 2 * 2048 + 4), 1u);
  EXPECT_EQ(Le32(file, 2 * 2048 + 8), 128u) << "number of the POI in the second leaf";
  const std::string box = Block(file, 3);
  EXPECT_EQ(Le32(box, 4), 2u);
  EXPECT_EQ(Hex(box.substr(8, 40)), Hex(FromHex("00 00 00 00 82 ff ff ff 7e 00 00 00 00 00 00 00 01 00 00 00"
                                                "7f 00 00 00 81 ff ff ff 7f 00 00 00 81 ff ff ff 02 00 00 00")));

  // 103 leaves: box blocks of 102 and 1 entries, and a root over both.
  ASSERT_EQ(WriteIndexFile(config_, Grid(102 * 127 + 1), *log_), 0);
  file = Out("Cams.rid");
  EXPECT_EQ(Le32(Block(file, 104), 4), 102u);
  EXPECT_EQ(Le32(Block(file, 104), 8 + 101 * 20 + 16), 102u) << "last leaf of the first box block";
  EXPECT_EQ(Le32(Block(file, 105), 4), 1u);
  const std::string root = Block(file, 106);
  EXPECT_EQ(Le32(root, 4), 2u);
  const int32_t lastOfFirst = 102 * 127 - 1;
  const int32_t last = 102 * 127;
  const int32_t expected[] = {0, -lastOfFirst, lastOfFirst, 0, 104, last, -last, last, -last, 105};
  for (size_t i = 0; i < 10; ++i) EXPECT_EQ(static_cast<int32_t>(Le32(root, 8 + 4 * i)), expected[i]) << i;
}

TEST_F(IndexFileTest, MoreThanTheIndexHoldsIsRefused) {
  EXPECT_EQ(kMaxIndexPois, 1321308u);
  const IndexLayout full = ComputeIndexLayout(kMaxIndexPois);
  EXPECT_EQ(full.leafBlocks, 10404);
  EXPECT_EQ(full.boxBlocks, 102);
  EXPECT_EQ(full.rootBlock, 10507);
  EXPECT_EQ(full.blockCount, 10508);

  EXPECT_EQ(CheckIndexCapacity(config_, kMaxIndexPois, *log_), 0);
  EXPECT_EQ(LogText(), "");
  EXPECT_EQ(CheckIndexCapacity(config_, kMaxIndexPois + 1, *log_), -1);
  EXPECT_EQ(LogText(), "### Too many POIs for the index file '" + dir_.string() +
                           "\\Cams.rid': 1321309, max allowed: 1321308. ###\n");
}

class MapLayerFileTest : public TargetTest {};

TEST_F(MapLayerFileTest, GoldenBytes) {
  config_.subcategories = {Sub("Cams", 7), Sub("Ped", -2)};
  SubcategoryConfig& cams = config_.subcategories[0];
  cams.bitmapFile = MakeBitmap("cams.bmp", Bitmap(17, "abc"));
  cams.textZoomCode = 16224;
  SubcategoryConfig& ped = config_.subcategories[1];
  ped.bitmapFile = MakeBitmap("ped.bmp", Bitmap(14, ""));
  ped.fontName = "Ab";
  ped.fontTypeCode = -1;
  ped.textColourCode = 0xFF0000;
  ped.outlineColourCode = 0x00FF00;
  ASSERT_EQ(WriteMapLayerFile(config_, *log_), 0);

  const std::string expected = FromHex("4d 50 4c 36 ff ff 00 00 ff ff 00 00") + Zeros(20) +
                               FromHex("ff ff 00 00 ff ff 00 00") + Zeros(10) + FromHex("02 00") +
                               // symbols: record, bitmap without its file header, 4 zero bytes
                               FromHex("07 00 08 00 11 00 00 00 a0 41 00 00 60 3f 03 00 00 00 61 62 63 00 00 00 00") +
                               FromHex("fe ff 08 00 12 00 00 00 a0 41 00 00 a0 41 00 00 00 00 00 00 00 00") +
                               FromHex("ff ff 00 00 ff ff 00 00") + Zeros(8) +
                               FromHex("00 00 00 80 00 01 00 00 00 00 00 00 ff ff ff 00") + FromHex("02 00") +
                               // font records
                               FromHex("07 00 00 00 64 00") + Zeros(8) + FromHex("06 00") + "Tahoma" +
                               FromHex("00 00 00 30 c1 08 01 00 00 00 00 00 00 ff ff ff 00") +
                               FromHex("fe ff 00 00 64 00") + Zeros(8) + FromHex("02 00") + "Ab" +
                               FromHex("00 00 00 30 c1 ff ff ff ff 00 00 ff 00 00 ff 00 00") +
                               FromHex("ff ff ff 00 ff ff 00 00 ff ff 00 00") + Zeros(16);
  EXPECT_EQ(Hex(Out("Cams.mpl")), Hex(expected));
}

TEST_F(MapLayerFileTest, SymbolMarkCyclesThroughNineValues) {
  const std::string bitmap = MakeBitmap("empty.bmp", Bitmap(14, ""));
  for (int i = 0; i < 10; ++i) {
    std::string name = "S";
    name += std::to_string(i);
    config_.subcategories.push_back(Sub(name, static_cast<int16_t>(i)));
    config_.subcategories.back().bitmapFile = bitmap;
  }
  ASSERT_EQ(WriteMapLayerFile(config_, *log_), 0);
  const std::string file = Out("Cams.mpl");
  const uint8_t marks[] = {0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x11};
  for (size_t i = 0; i < 10; ++i) EXPECT_EQ(static_cast<uint8_t>(file.at(52 + 22 * i + 4)), marks[i]) << i;
}

TEST_F(MapLayerFileTest, ABitmapWhoseSizeFieldLiesStopsTheFile) {
  struct Case {
    const char* what;
    std::string bytes;
  } const cases[] = {
      {"shorter than announced", Bitmap(40, "abc")},
      {"longer than announced", Bitmap(15, "abc")},
      {"shorter than its file header", "BM\x11"},
      {"size field below the header size", Bitmap(13, "")},
  };
  config_.subcategories = {Sub("Cams", 7), Sub("Ped", 8)};
  config_.subcategories[0].bitmapFile = MakeBitmap("good.bmp", Bitmap(16, "ok"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = MakeBitmap("bad.bmp", c.bytes);
    config_.subcategories[1].bitmapFile = path;
    const size_t logged = LogText().size();
    EXPECT_EQ(WriteMapLayerFile(config_, *log_), -1);
    EXPECT_EQ(LogText().substr(logged), "### Can't read from file '" + path + "'. Wrong file? ###\n");
  }
}

TEST_F(MapLayerFileTest, AMissingBitmapIsNamedWithTheReason) {
  config_.subcategories = {Sub("Cams", 7)};
  config_.subcategories[0].bitmapFile = (dir_ / "none.bmp").string();
  EXPECT_EQ(WriteMapLayerFile(config_, *log_), -1);
  EXPECT_EQ(LogText(), "### Can't open file '" + (dir_ / "none.bmp").string() +
                           "' for read. Reason: No such file or directory. ###\n");
}

TEST_F(TargetTest, CategoryFileAndLayerList) {
  config_.subcategories = {Sub("Cams", 7), Sub("Ped", -2)};
  ASSERT_EQ(WriteCategoryFile(config_, *log_), 0);
  EXPECT_EQ(Out("Cams.cat"), "Cams|7,-2|Alle|7,-2|Cams|7|Ped|-2\r\n");
  ASSERT_EQ(WriteLayerList(config_, *log_), 0);
  EXPECT_EQ(Out("Cams.lvl"), "Cams.rid Cams.mpl 100000");
}

TEST_F(TargetTest, NavigonOemWritesTheSixFilesAndLinksThem) {
  config_.subcategories = {Sub("Cams", 7)};
  config_.subcategories[0].bitmapFile = MakeBitmap("cams.bmp", Bitmap(16, "ok"));
  std::vector<ParsedPoi> pois = {Poi(0, 1, 2, "one", 7), Poi(0, 3, 4, "two", 7)};
  Number(pois);
  std::string producer;
  ASSERT_EQ(WriteTargetFiles(config_, pois, texts_, *log_, &producer), 0);
  EXPECT_EQ(producer, NavigonOemProducerText());
  for (const char* ext : {".nam", ".dat", ".rid", ".mpl", ".cat", ".lvl"}) {
    EXPECT_TRUE(fs::exists(dir_ / (std::string("Cams") + ext))) << ext;
  }
  // The index leads from each POI to its coordinates and its name.
  const std::string index = Out("Cams.rid");
  const std::string names = Out("Cams.nam");
  const std::string data = Out("Cams.dat");
  EXPECT_EQ(Le32(index, 2048 + 8 + 16 + 4), 7u);
  EXPECT_EQ(data.substr(7, 6), FromHex("e0 93 04 80 1a 06"));
  EXPECT_EQ(names.substr(Le32(index, 2048 + 8 + 16 + 12), 6), NameEntry("two"));
  EXPECT_EQ(LogText(), "");
}

TEST_F(TargetTest, NavigonOemStopsAtTheFirstFileItCannotCreate) {
  config_.destinationDirectory = (dir_ / "missing").string() + "\\";
  config_.subcategories = {Sub("Cams", 7)};
  std::vector<ParsedPoi> pois = {Poi(0, 1, 2, "one")};
  EXPECT_EQ(WriteNavigonOem(config_, pois, texts_, *log_, nullptr), -1);
  EXPECT_EQ(LogText(), "### Can't open file '" + config_.destinationDirectory +
                           "Cams.nam' for write. Reason: No such file or directory. ###\n");
  EXPECT_EQ(pois[0].namOffset, -1);
}

TEST_F(TargetTest, SntOnlyWritesNothingAndKeepsTheProducerText) {
  config_.target = TargetSystem::kSntOnly;
  config_.subcategories = {Sub("Cams", 7)};
  std::vector<ParsedPoi> pois = {Poi(0, 1, 2, "one")};
  std::string producer = "unchanged";
  EXPECT_EQ(WriteTargetFiles(config_, pois, texts_, *log_, &producer), 0);
  EXPECT_EQ(producer, "unchanged");
  EXPECT_TRUE(fs::is_empty(dir_));
}

}  // namespace
}  // namespace converter::testing
