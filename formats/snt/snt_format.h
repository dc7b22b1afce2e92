#pragma once
// The warner's POI database file (.snt), which the converter writes and the warner loads: a
// 104-byte header, the category records packed from offset 104, then 20-byte POI records sorted
// by longitude and latitude. All integers are little-endian; records are read and written field by
// field, never by casting. The writer and the reader both take every offset and code from here.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace snt {

// --- header -----------------------------------------------------------------------------------

inline constexpr size_t kHeaderSize = 104;
inline constexpr std::string_view kMagic = "snt";
inline constexpr size_t kProducerOffset = 3;
inline constexpr size_t kProducerSize = 80;
inline constexpr size_t kFileLengthOffset = 84;
inline constexpr size_t kPoiCountOffset = 88;
inline constexpr size_t kCategoryCountOffset = 92;
inline constexpr size_t kPoiRecordsOffsetOffset = 96;

struct Header {
  uint32_t fileLength = 0;
  uint32_t poiCount = 0;
  uint32_t categoryCount = 0;
  uint32_t poiRecordsOffset = 0;
};

// Fills the kHeaderSize bytes at `out`: magic, the producer text cut to kProducerSize bytes
// (NUL-padded, without a terminator when it fills the field), the fields, zeros elsewhere.
void EncodeHeader(const Header& header, std::string_view producer, uint8_t* out);
// The fields of the kHeaderSize bytes at `in`; the magic is checked apart.
Header DecodeHeader(const uint8_t* in);
bool HasMagic(const uint8_t* header);

// --- category records -------------------------------------------------------------------------

// A uint16 text length L, the text, a NUL: 3 + L bytes, the first at kHeaderSize.
inline constexpr size_t kFirstCategoryOffset = kHeaderSize;
inline constexpr size_t kCategoryTextOffset = 2;
inline constexpr size_t kCategoryRecordOverhead = 3;
inline constexpr size_t kMaxCategoryText = 0xFFFF;

constexpr size_t CategoryRecordSize(size_t textLength) { return kCategoryRecordOverhead + textLength; }
// Writes the record of `text` (at most kMaxCategoryText bytes) at `out`; returns its size.
size_t EncodeCategoryRecord(std::string_view text, uint8_t* out);
// The length word of the record at `record`.
uint16_t CategoryTextLength(const uint8_t* record);

// The POI records start behind 1 to 8 zero bytes, on a multiple of 8.
constexpr size_t PoiRecordsOffset(size_t categoriesEnd) { return (categoriesEnd + 8) & ~size_t{7}; }

// --- POI records ------------------------------------------------------------------------------

inline constexpr size_t kPoiRecordSize = 20;

// One POI record, decoded.
struct PoiRecord {
  int32_t longitude = 0;      // degrees x 100000
  int32_t latitude = 0;       // degrees x 100000
  uint16_t warnDistance = 0;  // see the warning distance below
  uint16_t height = 0;        // see the height code below
  int32_t categoryOffset = 0;
  uint16_t direction = 0;  // see the direction code below
};

void EncodePoiRecord(const PoiRecord& record, uint8_t* out);
PoiRecord DecodePoiRecord(const uint8_t* in);

// The file's order: by longitude, then latitude (signed). The warner's binary search needs it.
constexpr bool SortsBefore(const PoiRecord& a, const PoiRecord& b) {
  return a.longitude != b.longitude ? a.longitude < b.longitude : a.latitude < b.latitude;
}

// --- warning distance -------------------------------------------------------------------------

// Bit 15 set: bits 0-14 are seconds of travel; clear: metres.
inline constexpr uint16_t kSecondsFlag = 0x8000;
inline constexpr uint16_t kDistanceMask = 0x7FFF;
// Added to a time-based distance so that a slow vehicle is still warned in time.
inline constexpr double kTimeWarningMarginMetres = 50.0;

struct WarningDistance {
  int32_t value = 0;  // metres or seconds, 0..32767
  bool seconds = false;
};

constexpr uint16_t EncodeWarningDistance(WarningDistance distance) {
  return static_cast<uint16_t>((static_cast<uint16_t>(distance.value) & kDistanceMask) |
                               (distance.seconds ? kSecondsFlag : 0));
}
constexpr WarningDistance DecodeWarningDistance(uint16_t code) {
  return {code & kDistanceMask, (code & kSecondsFlag) != 0};
}
// How far a vehicle at speedMs (m/s) gets in `seconds`, with the margin.
constexpr double MetresForSeconds(int32_t seconds, double speedMs) {
  return seconds * speedMs + kTimeWarningMarginMetres;
}
// The distance a code stands for at speedMs: its metres, or its seconds of travel.
constexpr double WarningMetres(uint16_t code, double speedMs) {
  const WarningDistance distance = DecodeWarningDistance(code);
  return distance.seconds ? MetresForSeconds(distance.value, speedMs) : static_cast<double>(distance.value);
}

// The largest metre distance and the largest time over a set of records, which bound the search.
struct WarningReach {
  int32_t maxMetres = 0;
  int32_t maxSeconds = 0;
  constexpr void Add(uint16_t code) {
    const WarningDistance distance = DecodeWarningDistance(code);
    int32_t& max = distance.seconds ? maxSeconds : maxMetres;
    if (distance.value > max) max = distance.value;
  }
};

// --- height -----------------------------------------------------------------------------------

// 0: no height; else kHeightFlag and the metres plus kHeightOffset in bits 0-14 (-2767 to 30000 m).
inline constexpr uint16_t kHeightFlag = 0x8000;
inline constexpr double kHeightOffset = 2767.0;
inline constexpr double kMaxHeightPlusOffset = 32767.0;

// The code of a height given as metres plus kHeightOffset (as the POI list reader keeps it): the
// fraction dropped, below 0 m - kHeightOffset stored as that, above 30000 m as 30000 m.
uint16_t EncodeHeight(double metresPlusOffset);

// --- direction --------------------------------------------------------------------------------

// 0: no direction; else kDirectionFlag, kBothWaysFlag for both directions of travel, and the
// direction in tenths of a degree (0..3600) in bits 0-13.
inline constexpr uint16_t kDirectionFlag = 0x8000;
inline constexpr uint16_t kBothWaysFlag = 0x4000;
inline constexpr uint16_t kDirectionTenthsMask = 0x3FFF;
inline constexpr double kMaxDirectionTenths = 3600.0;

// Tenths of a degree rounded half away from zero, kept within 0..3600.
uint16_t EncodeDirection(double tenths, bool bothWays);
// The direction in degrees, or -1.0 for a code without one.
constexpr double DirectionDegrees(uint16_t code) {
  return (code & kDirectionFlag) ? (code & kDirectionTenthsMask) * 0.1 : -1.0;
}
constexpr bool AppliesBothWays(uint16_t code) { return (code & kBothWaysFlag) != 0; }

}  // namespace snt
