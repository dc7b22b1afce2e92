#pragma once
// An in-memory POI source: records with their category texts, sorted and measured like a loaded
// database. For tools, tests and benchmarks that need no .snt file.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "warner/core/engine/poi_source.h"

namespace warner {

class PoiTable final : public PoiSource {
 public:
  // Returns the category's number; the same text always gets the same number.
  int32_t AddCategory(std::string_view text);
  // categoryOffset of the record is replaced by the category number.
  void Add(PoiRecord record, int32_t category);
  // Sorts by longitude, then latitude (stable), and computes the two maxima.
  void Finish();
  void Clear();

  bool IsPoiDatabaseLoaded() const override { return !records_.empty(); }
  int32_t RecordCount() const override { return static_cast<int32_t>(records_.size()); }
  PoiRecord Record(int32_t index) const override { return records_[static_cast<size_t>(index)]; }
  int32_t MaxWarnMetres() const override { return maxWarnMetres_; }
  int32_t MaxWarnSeconds() const override { return maxWarnSeconds_; }
  std::string_view CategoryText(int32_t index) const override;

 private:
  std::vector<PoiRecord> records_;
  std::vector<std::string> categories_;
  int32_t maxWarnMetres_ = 0;
  int32_t maxWarnSeconds_ = 0;
};

}  // namespace warner
