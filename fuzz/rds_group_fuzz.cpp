// Any bytes as RDS groups, twice: as a stream of 9-byte receiver records (eight group bytes and
// the unused one) straight into the decoder, and as the raw bytes of a separate TMC source through
// the port reader, which has to find the records itself. Small code lists and a traffic log in a
// temporary folder let completed messages run through formatting and logging too.

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/bytes/little_endian.h"
#include "platform/clock/clock.h"
#include "platform/reports/reporter.h"
#include "warner/traffic/code_lists/code_lists.h"
#include "warner/traffic/rds/traffic_decoder.h"

namespace {

class SilentReporter final : public platform::Reporter {
 protected:
  void Show(platform::Severity, std::string_view) override {}
  bool Ask(platform::Severity, std::string_view) override { return false; }
};

// A list file whose records are stored without runs: escape byte 0xFE (no image here holds it),
// then the image, each byte complemented.
void WriteList(const std::string& path, const std::vector<std::vector<uint8_t>>& images) {
  std::vector<uint8_t> file(traffic::kIndexOffset + size_t{4} * traffic::kCodeLimit);
  for (const std::vector<uint8_t>& image : images) {
    platform::PutLe32(file.data() + traffic::kIndexOffset + size_t{4} * platform::GetLe32(image.data()),
                      static_cast<uint32_t>(file.size()));
    file.resize(file.size() + 2);
    platform::PutLe16(file.data() + file.size() - 2, static_cast<uint16_t>(image.size() + 1));
    file.push_back(static_cast<uint8_t>(~0xFEu));
    for (const uint8_t byte : image) file.push_back(static_cast<uint8_t>(~byte));
  }
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) std::abort();
  std::fwrite(file.data(), 1, file.size(), out);
  std::fclose(out);
}

std::vector<uint8_t> Image(size_t size, uint32_t code,
                           std::initializer_list<std::pair<size_t, std::string_view>> texts) {
  std::vector<uint8_t> image(size);
  platform::PutLe32(image.data(), code);
  for (const auto& [offset, text] : texts)
    std::copy(text.begin(), text.end(), image.begin() + static_cast<long>(offset));
  return image;
}

std::vector<uint8_t> Location(uint32_t code, std::string_view name, uint32_t parent, uint32_t negative,
                              uint32_t positive, uint8_t flag) {
  std::vector<uint8_t> image = Image(traffic::kLocationImageSize, code,
                                     {{traffic::kLocationTextAOffset, "A1"},
                                      {traffic::kLocationTextBOffset, "N - S"},
                                      {traffic::kLocationNameOffset, name}});
  platform::PutLe32(image.data() + traffic::kLocationParentOffset, parent);
  platform::PutLe32(image.data() + traffic::kLocationNegativeOffset, negative);
  platform::PutLe32(image.data() + traffic::kLocationPositiveOffset, positive);
  image[traffic::kLocationFlagOffset] = flag;
  return image;
}

char gFolder[] = "/tmp/rds_group_fuzzXXXXXX";

// The program folder with both lists and the folder of the traffic log, made once and removed at
// exit (a plain buffer, which outlives every destructor that runs before the exit handler).
const std::string& Folder() {
  static const std::string folder = [] {
    if (mkdtemp(gFolder) == nullptr) std::abort();
    std::atexit([] { std::filesystem::remove_all(gFolder); });
    std::string path = gFolder;
    using traffic::kEventImageSize, traffic::kEventTextOffset, traffic::kEventShortTextOffset;
    std::vector<uint8_t> queue =
        Image(kEventImageSize, 101, {{kEventTextOffset, "queue for (L)"}, {kEventShortTextOffset, "Q"}});
    queue[traffic::kEventDirectionalityOffset] = '1';
    std::vector<uint8_t> fog = Image(kEventImageSize, 102, {{kEventTextOffset, "fog"}, {kEventShortTextOffset, "W"}});
    fog[traffic::kEventDirectionalityOffset] = '2';
    WriteList(path + "/" + traffic::kEventListName, {queue, fog});
    WriteList(path + "/" + traffic::kLocationListName,
              {Location(1, "North", 3, 0, 2, 1), Location(2, "South", 3, 1, 0, 1), Location(3, "A1", 0, 0, 0, 0),
               Location(4, "Village", 0, 2, 4, 0)});
    return path;
  }();
  return folder;
}

void FeedGroups(const uint8_t* data, size_t size, const platform::Clock& clock) {
  SilentReporter reporter;
  traffic::CodeLists lists(reporter);
  lists.OpenEventCodeList(Folder() + "/" + traffic::kEventListName);
  lists.OpenLocationCodeList(Folder() + "/" + traffic::kLocationListName);
  traffic::CRDSDecoder decoder(lists, reporter, clock);
  traffic::StringTraceSink trace;
  decoder.SetTrace(&trace, 3);
  for (int type = 0; type < 16; ++type) decoder.SetGroupTraceLevel(type, 3);
  decoder.SetLogName(Folder() + "/SntTMC.txt");
  for (size_t at = 0; at + 9 <= size; at += 9) {
    decoder.GroupInput(data + at, 9, static_cast<int>(at));
    if (trace.Text().size() > 1 << 16) trace.Clear();
  }
}

void FeedPort(const uint8_t* data, size_t size, const platform::Clock& clock) {
  SilentReporter reporter;
  traffic::TrafficDecoder traffic(reporter, clock);
  traffic::TrafficSettings settings;
  settings.evaluateTmc = 2;
  settings.programFolder = Folder();
  settings.trafficLogPath = traffic::TrafficLogPath(Folder() + "/", false);
  if (traffic.StartTraffic(settings) != 2 || traffic.Decoder() == nullptr) std::abort();
  size_t at = 0;
  // Reads of a size taken from the data, so that records are split across reads.
  const auto read = [&](uint8_t* buffer, size_t capacity, size_t* count) -> uint32_t {
    const size_t chunk = std::min({size - at, capacity, static_cast<size_t>(at < size ? data[at] % 37 + 1 : 0)});
    std::memcpy(buffer, data + at, chunk);
    at += chunk;
    *count = chunk;
    return 0;
  };
  while (at < size) {
    if (traffic.ReadTmcPort(read) < 0) std::abort();
  }
  traffic.StopTraffic();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const platform::ManualClock clock(0, 1709647629000, -60);
  FeedGroups(data, size, clock);
  FeedPort(data, size, clock);
  // The log grows with every completed message; start each input with none.
  unlink((Folder() + "/SntTMC.txt").c_str());
  return 0;
}
