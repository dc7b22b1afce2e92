// Any bytes as an event list and a location list: every lookup answers its code or -1 and leaves
// an image that is either the record or zeros with a NUL-terminated miss text; walks from every
// location found answer a code or -1. The bytes also go to the record expansion directly, into
// images of both sizes. Codes looked up: the first ones the index names, and some picked by the
// header bytes, which the lookups themselves never read.

#include <stdio.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/bytes/little_endian.h"
#include "platform/reports/scripted_reporter.h"
#include "warner/traffic/code_lists/code_lists.h"

namespace {

constexpr size_t kIndexedCodes = 4;
constexpr size_t kPickedCodes = 4;

void Check(bool condition) {
  if (!condition) std::abort();
}

template <size_t N>
void CheckImage(int32_t result, uint32_t code, const uint8_t (&image)[N], size_t textOffset, size_t textSize) {
  if (result >= 0) {
    Check(static_cast<uint32_t>(result) == code && platform::GetLe32(image) == code);
    return;
  }
  Check(result == -1);
  const size_t textLength = strnlen(reinterpret_cast<const char*>(image + textOffset), textSize);
  Check(textLength > 0 && textLength < textSize);
  for (size_t i = 0; i < N; ++i) Check((i >= textOffset && i < textOffset + textLength) || image[i] == 0);
}

void CheckExpand(const uint8_t* data, size_t size) {
  std::vector<uint8_t> event(traffic::kEventImageSize);  // heap: ASan sees every byte past the image
  std::vector<uint8_t> location(traffic::kLocationImageSize);
  const bool eventExpanded = traffic::ExpandRecord(data, size, event.data(), event.size());
  Check(eventExpanded == traffic::ExpandRecord(data, size, location.data(), location.size()));
  Check(std::memcmp(event.data(), location.data(), location.size()) == 0);
}

std::vector<uint32_t> CodesToLookUp(const uint8_t* data, size_t size) {
  std::vector<uint32_t> codes;
  for (size_t i = 0; i < kPickedCodes && 2 * i + 2 <= size; ++i) codes.push_back(platform::GetLe16(data + 2 * i));
  if (size >= 3) codes.push_back(0x10000u + data[2]);  // out of range, never read
  for (uint32_t code = 1; code < traffic::kCodeLimit && codes.size() < kPickedCodes + 1 + kIndexedCodes; ++code) {
    const size_t at = traffic::kIndexOffset + size_t{4} * code;
    if (at + 4 > size) break;
    if (platform::GetLe32(data + at) != 0) codes.push_back(code);
  }
  return codes;
}

void Walks(traffic::CodeLists& lists, const uint8_t (&start)[traffic::kLocationImageSize]) {
  uint8_t result[traffic::kLocationImageSize];
  for (int direction = 0; direction < 2; ++direction) {
    const int steps = 1 + static_cast<int>(platform::GetLe32(start) % 7);
    const int32_t reached = lists.WalkLocation(start, direction, steps, result);
    Check(reached == -1 || (reached >= 1 && reached < static_cast<int32_t>(traffic::kCodeLimit)));
    if (reached == -1) {
      Check(std::strncmp(reinterpret_cast<const char*>(result + traffic::kLocationNameOffset),
                         "Unknown second location no ", 27) == 0);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckExpand(data, size);
  if (size == 0) return 0;  // a memory stream needs at least one byte

  std::vector<uint8_t> bytes(data, data + size);
  platform::ScriptedReporter reporter;
  traffic::CodeLists lists(reporter);
  lists.AdoptEventCodeList(fmemopen(bytes.data(), size, "rb"));
  lists.AdoptLocationCodeList(fmemopen(bytes.data(), size, "rb"));

  uint8_t event[traffic::kEventImageSize];
  uint8_t location[traffic::kLocationImageSize];
  for (uint32_t code : CodesToLookUp(data, size)) {
    CheckImage(lists.LookupEvent(code, event), code, event, traffic::kEventTextOffset, traffic::kEventTextSize);
    const int32_t found = lists.LookupLocation(code, location);
    CheckImage(found, code, location, traffic::kLocationNameOffset, traffic::kLocationNameSize);
    if (found > 0) Walks(lists, location);
  }
  Check(reporter.Records().empty());
  return 0;
}
