#include "warner/traffic/code_lists/code_lists.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/bytes/little_endian.h"
#include "platform/reports/scripted_reporter.h"
#include "platform/testing/files.h"
#include "platform/testing/temp_folder.h"

namespace traffic {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kEscape = 0xEE;  // no test image holds this byte

// Builds a list file record by record. Records are given as coded before complementing, escape
// byte first, so that each test states exactly the bytes the reader has to cope with.
class ListFile {
 public:
  ListFile() : bytes_(kIndexOffset + size_t{4} * kCodeLimit) {}

  ListFile& Record(uint32_t code, const Bytes& coded) { return RecordWithLength(code, coded, coded.size()); }
  ListFile& RecordWithLength(uint32_t code, const Bytes& coded, size_t storedLength) {
    Offset(code, static_cast<uint32_t>(bytes_.size()));
    bytes_.resize(bytes_.size() + 2);
    platform::PutLe16(bytes_.data() + bytes_.size() - 2, static_cast<uint16_t>(storedLength));
    for (uint8_t byte : coded) bytes_.push_back(static_cast<uint8_t>(~byte));
    return *this;
  }
  ListFile& Offset(uint32_t code, uint32_t offset) {
    platform::PutLe32(bytes_.data() + kIndexOffset + size_t{4} * code, offset);
    return *this;
  }
  void Write(const std::string& path) const {
    platform::testing::WriteFile(path, std::string(bytes_.begin(), bytes_.end()));
  }

 private:
  Bytes bytes_;
};

// The simplest coding of an image: the escape byte, then every byte as it is.
Bytes Literal(const Bytes& image) {
  Bytes coded(image.size() + 1, kEscape);
  std::copy(image.begin(), image.end(), coded.begin() + 1);
  return coded;
}

void PutText(Bytes& image, size_t offset, const std::string& text) {
  std::copy(text.begin(), text.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

Bytes EventImage(uint32_t code, const std::string& text) {
  Bytes image(kEventImageSize);
  platform::PutLe32(image.data(), code);
  PutText(image, kEventTextOffset, text);
  image[kEventDirectionalityOffset] = '1';
  PutText(image, kEventShortTextOffset, "Q1");
  return image;
}

Bytes LocationImage(uint32_t code, const std::string& name, uint32_t negative, uint32_t positive) {
  Bytes image(kLocationImageSize);
  platform::PutLe32(image.data(), code);
  PutText(image, kLocationTextAOffset, "A99");
  PutText(image, kLocationNameOffset, name);
  platform::PutLe32(image.data() + kLocationNegativeOffset, negative);
  platform::PutLe32(image.data() + kLocationPositiveOffset, positive);
  return image;
}

template <size_t N>
std::string TextAt(const uint8_t (&image)[N], size_t offset) {
  return std::string(reinterpret_cast<const char*>(image + offset));
}

template <size_t N>
bool ZeroOutside(const uint8_t (&image)[N], size_t textOffset) {
  const size_t textEnd = textOffset + std::strlen(reinterpret_cast<const char*>(image + textOffset));
  for (size_t i = 0; i < N; ++i) {
    if ((i < textOffset || i >= textEnd) && image[i] != 0) return false;
  }
  return true;
}

Bytes Expand(const Bytes& coded, size_t imageSize) {
  Bytes image(imageSize, 0x55);  // exactly sized on the heap: ASan sees any write past it
  EXPECT_TRUE(ExpandRecord(coded.data(), coded.size(), image.data(), image.size()));
  return image;
}

TEST(ExpandRecord, EscapeForms) {
  const Bytes three = Expand({kEscape, 'a', kEscape, 2, 'b'}, 8);
  EXPECT_EQ(three, (Bytes{'a', kEscape, kEscape, kEscape, 'b', 0, 0, 0}));
  EXPECT_EQ(Expand({kEscape, kEscape, 0, kEscape, 1}, 4), (Bytes{kEscape, kEscape, kEscape, 0}));

  const Bytes spaces = Expand({kEscape, kEscape, 0x81, 0x00, 0x20, 'x'}, kEventImageSize);
  EXPECT_EQ(std::count(spaces.begin(), spaces.begin() + 257, ' '), 257);
  EXPECT_EQ(spaces[257], 'x');
  EXPECT_EQ(spaces[258], 0);

  EXPECT_EQ(Expand({kEscape, kEscape, 3, 'r'}, 5), (Bytes{'r', 'r', 'r', 'r', 0}));
  // The first byte is the escape of this record only: here 'r' is plain data.
  EXPECT_EQ(Expand({0x01, 'r', 0x01, 4, kEscape}, 6), (Bytes{'r', kEscape, kEscape, kEscape, kEscape, kEscape}));
}

TEST(ExpandRecord, EverythingPastTheImageIsDropped) {
  // The longest run there is, then more data: the image takes what fits and no more.
  const Bytes full = Expand({kEscape, kEscape, 0xFF, 0xFF, 'x', 'y', kEscape, 0x81, 0x00, 'z'}, kLocationImageSize);
  EXPECT_EQ(std::count(full.begin(), full.end(), 'x'), static_cast<long>(kLocationImageSize));

  Bytes literal(2 * kEventImageSize, 'l');
  literal[0] = kEscape;
  EXPECT_EQ(Expand(literal, kEventImageSize), Bytes(kEventImageSize, 'l'));
}

TEST(ExpandRecord, RecordsCutShortAreDamaged) {
  Bytes image(16);
  for (const Bytes& coded : {Bytes{}, Bytes{kEscape, 'a', kEscape}, Bytes{kEscape, kEscape, 5},
                             Bytes{kEscape, kEscape, 0x81}, Bytes{kEscape, kEscape, 0x81, 0x00}}) {
    EXPECT_FALSE(ExpandRecord(coded.data(), coded.size(), image.data(), image.size())) << coded.size();
  }
  EXPECT_TRUE(ExpandRecord(Bytes{kEscape}.data(), 1, image.data(), image.size()));
  EXPECT_EQ(image, Bytes(16, 0));
}

class CodeListsTest : public ::testing::Test {
 protected:
  void TearDown() override { lists_.Close(); }
  std::string Path(const char* name) const { return folder_.File(name); }

  void OpenEvents(const ListFile& file) {
    file.Write(Path(kEventListName));
    ASSERT_EQ(lists_.OpenEventCodeList(Path(kEventListName)), 0);
  }
  void OpenLocations(const ListFile& file) {
    file.Write(Path(kLocationListName));
    ASSERT_EQ(lists_.OpenLocationCodeList(Path(kLocationListName)), 0);
  }

  const platform::testing::TempFolder folder_{"dw_code_lists"};
  platform::ScriptedReporter reporter_;
  CodeLists lists_{reporter_};
  uint8_t event_[kEventImageSize] = {};
  uint8_t location_[kLocationImageSize] = {};
};

// A stream that counts every access, to prove that some lookups never reach the file.
struct AccessCount {
  int calls = 0;
};

std::FILE* CountingStream(AccessCount& count) {
  cookie_io_functions_t io{};
  io.read = [](void* cookie, char*, size_t) -> ssize_t {
    ++static_cast<AccessCount*>(cookie)->calls;
    return 0;
  };
  io.seek = [](void* cookie, off64_t*, int) {
    ++static_cast<AccessCount*>(cookie)->calls;
    return 0;
  };
  return fopencookie(&count, "rb", io);
}

TEST_F(CodeListsTest, CodesOutOfRangeNeverReachTheFile) {
  AccessCount events;
  AccessCount locations;
  lists_.AdoptEventCodeList(CountingStream(events));
  lists_.AdoptLocationCodeList(CountingStream(locations));
  EXPECT_EQ(lists_.LookupEvent(0, event_), -1);
  EXPECT_EQ(TextAt(event_, kEventTextOffset), "Unknown event no 0.");
  EXPECT_EQ(lists_.LookupEvent(65536, event_), -1);
  EXPECT_EQ(TextAt(event_, kEventTextOffset), "Unknown event no 65536.");
  EXPECT_EQ(lists_.LookupLocation(0, location_), -1);
  EXPECT_EQ(TextAt(location_, kLocationNameOffset), "Unknown location no 0.");
  EXPECT_EQ(lists_.LookupLocation(0x10000, location_), -1);
  EXPECT_EQ(events.calls + locations.calls, 0);
  EXPECT_EQ(lists_.LookupEvent(1, event_), -1);  // the counter does count
  EXPECT_GT(events.calls, 0);
}

TEST_F(CodeListsTest, ListsThatAreNotOpenAnswerNotAvailable) {
  EXPECT_EQ(lists_.OpenEventCodeList(Path("missing.bin")), -1);
  EXPECT_EQ(lists_.OpenLocationCodeList(Path("missing.bin")), -1);
  const auto records = reporter_.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_THAT(records[0].text, ::testing::StartsWith("Can't read the Event Code List file '" + Path("missing.bin") +
                                                     "'.\nError No 2: "));
  EXPECT_THAT(records[1].text, ::testing::StartsWith("Can't read the Location Code List file '"));

  event_[0] = 1;
  EXPECT_EQ(lists_.LookupEvent(101, event_), -2);
  EXPECT_EQ(TextAt(event_, kEventTextOffset), "Event code table not available.");
  EXPECT_TRUE(ZeroOutside(event_, kEventTextOffset));
  EXPECT_EQ(lists_.LookupLocation(101, location_), -2);
  EXPECT_EQ(TextAt(location_, kLocationNameOffset), "Location code table not available.");
  const uint8_t start[kLocationImageSize] = {1};
  EXPECT_EQ(lists_.WalkLocation(start, 0, 1, location_), -2);
  EXPECT_EQ(TextAt(location_, kLocationNameOffset), "Location code table not available.");
}

TEST_F(CodeListsTest, RecordsAreFoundByTheirCode) {
  Bytes runs{kEscape, 102, 0, 0, 0, kEscape, 80, 0};  // the code, then a run of zeros up to the text
  for (char c : std::string("queuing traffic for (L)")) runs.push_back(static_cast<uint8_t>(c));
  OpenEvents(ListFile().Record(101, Literal(EventImage(101, "stationary traffic"))).Record(102, runs));

  EXPECT_EQ(lists_.LookupEvent(101, event_), 101);
  EXPECT_EQ(TextAt(event_, kEventTextOffset), "stationary traffic");
  EXPECT_EQ(event_[kEventDirectionalityOffset], '1');
  EXPECT_EQ(TextAt(event_, kEventShortTextOffset), "Q1");
  EXPECT_EQ(lists_.LookupEvent(102, event_), 102);
  EXPECT_EQ(TextAt(event_, kEventTextOffset), "queuing traffic for (L)");
  EXPECT_EQ(event_[kEventDirectionalityOffset], 0);  // nothing of the earlier record is left

  OpenLocations(ListFile().Record(12001, Literal(LocationImage(12001, "Northtown", 12000, 12002))));
  EXPECT_EQ(lists_.LookupLocation(12001, location_), 12001);
  EXPECT_EQ(TextAt(location_, kLocationNameOffset), "Northtown");
  EXPECT_EQ(TextAt(location_, kLocationTextAOffset), "A99");
  EXPECT_EQ(platform::GetLe32(location_ + kLocationPositiveOffset), 12002u);
}

TEST_F(CodeListsTest, DamagedOrMissingEventRecords) {
  Bytes tooLong = Literal(EventImage(5, "too long"));
  tooLong.resize(kMaxEventRecordLength + 1, 0);
  Bytes longest = Literal(EventImage(6, "longest"));
  longest.resize(kMaxEventRecordLength, 0);
  Bytes cutShort = Literal(EventImage(8, "cut"));
  cutShort.push_back(kEscape);
  ListFile file;
  file.Record(5, tooLong)
      .Record(6, longest)
      .Record(77, Literal(EventImage(78, "another code")))
      .Record(8, cutShort)
      .Offset(10, 0xFFFFFF00u)
      .RecordWithLength(9, Literal(EventImage(9, "the file ends first")), kMaxEventRecordLength);
  OpenEvents(file);

  struct Case {
    uint32_t code;
    const char* text;
  };
  for (const Case& c :
       {Case{5, "Unknown event no 5"}, Case{77, "Unknown event no 77."}, Case{8, "Unknown event no 8."},
        Case{9, "Unknown event no 9"}, Case{10, "Unknown event no 10"}, Case{11, "Unknown event no 11."}}) {
    std::memset(event_, 0x55, sizeof event_);
    EXPECT_EQ(lists_.LookupEvent(c.code, event_), -1) << c.code;
    EXPECT_EQ(TextAt(event_, kEventTextOffset), c.text);
    EXPECT_TRUE(ZeroOutside(event_, kEventTextOffset)) << c.code;
  }
  EXPECT_EQ(lists_.LookupEvent(6, event_), 6);
  EXPECT_EQ(TextAt(event_, kEventTextOffset), "longest");
}

TEST_F(CodeListsTest, DamagedLocationRecordsAndShortFiles) {
  Bytes tooLong = Literal(LocationImage(3, "too long", 0, 0));
  tooLong.resize(kMaxLocationRecordLength + 1, 0);
  OpenLocations(ListFile().Record(3, tooLong).Offset(4, 1u << 24));
  EXPECT_EQ(lists_.LookupLocation(3, location_), -1);
  EXPECT_EQ(TextAt(location_, kLocationNameOffset), "Unknown location no 3.");
  EXPECT_EQ(lists_.LookupLocation(4, location_), -1);
  EXPECT_EQ(TextAt(location_, kLocationNameOffset), "Unknown location no 4.");

  // A file that ends inside the index.
  platform::testing::WriteFile(Path(kLocationListName), "tiny");
  ASSERT_EQ(lists_.OpenLocationCodeList(Path(kLocationListName)), 0);
  EXPECT_EQ(lists_.LookupLocation(3, location_), -1);
  EXPECT_EQ(TextAt(location_, kLocationNameOffset), "Unknown location no 3.");

  // Both damaged files were opened after one warning each; a whole list gives none.
  const auto records = reporter_.Records();
  ASSERT_EQ(records.size(), 2u);
  for (const auto& record : records) {
    EXPECT_EQ(record.text, "The Location Code List file '" + Path(kLocationListName) +
                               "' is damaged: its codes may show as unknown.\n");
  }
  OpenLocations(ListFile().Record(3, Literal(LocationImage(3, "fine", 0, 0))));
  EXPECT_EQ(reporter_.Records().size(), 2u);
}

class WalkTest : public CodeListsTest {
 protected:
  // The chain 1 - 2 - 3 - 4 (positive direction towards 4); 10 leads to 11, whose next is 0;
  // 20 leads to the missing 21.
  void SetUp() override {
    CodeListsTest::SetUp();
    ListFile file;
    const char* names[] = {"", "J1", "J2", "J3", "J4"};
    for (uint32_t code = 1; code <= 4; ++code) {
      file.Record(code, Literal(LocationImage(code, names[code], code - 1, code < 4 ? code + 1 : 0)));
    }
    file.Record(10, Literal(LocationImage(10, "J10", 0, 11)));
    file.Record(11, Literal(LocationImage(11, "J11", 10, 0)));
    file.Record(20, Literal(LocationImage(20, "J20", 0, 21)));
    OpenLocations(file);
  }
  int32_t Walk(uint32_t from, int direction, int steps) {
    uint8_t start[kLocationImageSize];
    EXPECT_EQ(lists_.LookupLocation(from, start), static_cast<int32_t>(from));
    return lists_.WalkLocation(start, direction, steps, location_);
  }
};

TEST_F(WalkTest, WalksBothWays) {
  EXPECT_EQ(Walk(1, 0, 3), 4);
  EXPECT_EQ(TextAt(location_, kLocationNameOffset), "J4");
  EXPECT_EQ(Walk(4, 1, 2), 2);
  EXPECT_EQ(TextAt(location_, kLocationNameOffset), "J2");
  EXPECT_EQ(Walk(3, 7, 1), 2);  // any non-zero direction is the negative one
}

TEST_F(WalkTest, AWalkThatRunsOutNamesWhereItStopped) {
  EXPECT_EQ(Walk(10, 0, 3), -1);
  EXPECT_EQ(TextAt(location_, kLocationNameOffset), "Unknown second location no 0.");
  EXPECT_TRUE(ZeroOutside(location_, kLocationNameOffset));
  EXPECT_EQ(Walk(20, 0, 1), -1);
  EXPECT_EQ(TextAt(location_, kLocationNameOffset), "Unknown second location no 21.");
  EXPECT_EQ(Walk(2, 0, 7), -1);
  EXPECT_EQ(TextAt(location_, kLocationNameOffset), "Unknown second location no 0.");
}

TEST_F(WalkTest, StartAndResultMayBeOneImage) {
  ASSERT_EQ(lists_.LookupLocation(1, location_), 1);
  EXPECT_EQ(lists_.WalkLocation(location_, 0, 2, location_), 3);
  EXPECT_EQ(TextAt(location_, kLocationNameOffset), "J3");
}

}  // namespace
}  // namespace traffic
