#pragma once
// The warner's POI database: the whole .snt file in one buffer while the warner is active,
// validated before it is trusted, with its records read in place.
//
// INTERFACE DRAFT fixed by the lead so that the engine can be written against it; the database
// engineer implements it and may add to it (keep these names and meanings).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace warner {

// One 20-byte record, decoded from the buffer (little-endian, never by casting).
struct PoiRecord {
  int32_t longitude = 0;     // degrees x 100000
  int32_t latitude = 0;      // degrees x 100000
  uint16_t warnDistance = 0;  // bit 15 clear: metres; set: seconds in bits 0-14
  uint16_t height = 0;
  int32_t categoryOffset = 0;
  uint16_t direction = 0;  // bit 15: has a direction; bit 14: both ways; bits 0-13: tenths of a degree
};

class PoiDatabase {
 public:
  bool IsPoiDatabaseLoaded() const;
  int32_t RecordCount() const;
  // The record at index (0 <= index < RecordCount()).
  PoiRecord Record(int32_t index) const;
  int32_t MaxWarnMetres() const;
  int32_t MaxWarnSeconds() const;
  // The category text of a record (Windows-1252 bytes, without the NUL).
  std::string_view CategoryText(int32_t index) const;
  // ... loading, unloading, AnnouncementText, PoiBitmapPath: see the database engineer's header.
};

}  // namespace warner
