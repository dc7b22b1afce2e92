#include "formats/snt/snt_format.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/bytes/little_endian.h"

namespace snt {

void EncodeHeader(const Header& header, std::string_view producer, uint8_t* out) {
  std::memset(out, 0, kHeaderSize);
  std::memcpy(out, kMagic.data(), kMagic.size());
  std::memcpy(out + kProducerOffset, producer.data(), std::min(producer.size(), kProducerSize));
  platform::PutLe32(out + kFileLengthOffset, header.fileLength);
  platform::PutLe32(out + kPoiCountOffset, header.poiCount);
  platform::PutLe32(out + kCategoryCountOffset, header.categoryCount);
  platform::PutLe32(out + kPoiRecordsOffsetOffset, header.poiRecordsOffset);
}

Header DecodeHeader(const uint8_t* in) {
  return {platform::GetLe32(in + kFileLengthOffset), platform::GetLe32(in + kPoiCountOffset),
          platform::GetLe32(in + kCategoryCountOffset), platform::GetLe32(in + kPoiRecordsOffsetOffset)};
}

bool HasMagic(const uint8_t* header) { return std::memcmp(header, kMagic.data(), kMagic.size()) == 0; }

size_t EncodeCategoryRecord(std::string_view text, uint8_t* out) {
  platform::PutLe16(out, static_cast<uint16_t>(text.size()));
  std::memcpy(out + kCategoryTextOffset, text.data(), text.size());
  out[kCategoryTextOffset + text.size()] = 0;
  return CategoryRecordSize(text.size());
}

uint16_t CategoryTextLength(const uint8_t* record) { return platform::GetLe16(record); }

void EncodePoiRecord(const PoiRecord& record, uint8_t* out) {
  platform::PutLe32(out + 0, static_cast<uint32_t>(record.longitude));
  platform::PutLe32(out + 4, static_cast<uint32_t>(record.latitude));
  platform::PutLe16(out + 8, record.warnDistance);
  platform::PutLe16(out + 10, record.height);
  platform::PutLe32(out + 12, static_cast<uint32_t>(record.categoryOffset));
  platform::PutLe16(out + 16, record.direction);
  platform::PutLe16(out + 18, 0);
}

PoiRecord DecodePoiRecord(const uint8_t* in) {
  PoiRecord record;
  record.longitude = static_cast<int32_t>(platform::GetLe32(in + 0));
  record.latitude = static_cast<int32_t>(platform::GetLe32(in + 4));
  record.warnDistance = platform::GetLe16(in + 8);
  record.height = platform::GetLe16(in + 10);
  record.categoryOffset = static_cast<int32_t>(platform::GetLe32(in + 12));
  record.direction = platform::GetLe16(in + 16);
  return record;
}

uint16_t EncodeHeight(double metresPlusOffset) {
  double value = std::trunc(metresPlusOffset);
  if (!(value >= 0.0)) value = 0.0;
  value = std::min(value, kMaxHeightPlusOffset);
  return static_cast<uint16_t>(kHeightFlag | static_cast<uint16_t>(value));
}

uint16_t EncodeDirection(double tenths, bool bothWays) {
  double rounded = std::floor(tenths + 0.5);
  if (!(rounded >= 0.0)) rounded = 0.0;
  rounded = std::min(rounded, kMaxDirectionTenths);
  return static_cast<uint16_t>(kDirectionFlag | (bothWays ? kBothWaysFlag : 0) | static_cast<uint16_t>(rounded));
}

}  // namespace snt
