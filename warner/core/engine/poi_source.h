#pragma once
// The records the engine searches: the loaded database, or an in-memory table where no file is
// needed (tools, tests, benchmarks). Records must be sorted by longitude, then latitude.

#include <cstdint>
#include <string>
#include <string_view>

#include "warner/core/database/poi_database.h"

namespace warner {

class PoiSource {
 public:
  virtual ~PoiSource() = default;
  virtual bool IsPoiDatabaseLoaded() const = 0;
  virtual int32_t RecordCount() const = 0;
  virtual PoiRecord Record(int32_t index) const = 0;
  virtual int32_t MaxWarnMetres() const = 0;
  virtual int32_t MaxWarnSeconds() const = 0;
  // Windows-1252 bytes, without the NUL.
  virtual std::string_view CategoryText(int32_t index) const = 0;
  // UTF-8; by default the database's rule applied to the category text.
  virtual std::string AnnouncementText(int32_t index) const { return warner::AnnouncementText(CategoryText(index)); }
  // The bitmap file, or "" without one; by default none.
  virtual std::string PoiBitmapPath(int32_t /*index*/) const { return {}; }
};

// The loaded database seen as a PoiSource.
class DatabasePoiSource final : public PoiSource {
 public:
  explicit DatabasePoiSource(const PoiDatabase& database) : database_(database) {}
  bool IsPoiDatabaseLoaded() const override { return database_.IsPoiDatabaseLoaded(); }
  int32_t RecordCount() const override { return database_.RecordCount(); }
  PoiRecord Record(int32_t index) const override { return database_.Record(index); }
  int32_t MaxWarnMetres() const override { return database_.MaxWarnMetres(); }
  int32_t MaxWarnSeconds() const override { return database_.MaxWarnSeconds(); }
  std::string_view CategoryText(int32_t index) const override { return database_.CategoryText(index); }
  std::string AnnouncementText(int32_t index) const override { return database_.AnnouncementText(index); }
  std::string PoiBitmapPath(int32_t index) const override { return database_.PoiBitmapPath(index); }

 private:
  const PoiDatabase& database_;
};

}  // namespace warner
