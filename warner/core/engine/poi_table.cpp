#include "warner/core/engine/poi_table.h"

#include <algorithm>

#include "formats/snt/snt_format.h"

namespace warner {

int32_t PoiTable::AddCategory(std::string_view text) {
  const auto found = std::find(categories_.begin(), categories_.end(), text);
  if (found != categories_.end()) return static_cast<int32_t>(found - categories_.begin());
  categories_.emplace_back(text);
  return static_cast<int32_t>(categories_.size() - 1);
}

void PoiTable::Add(PoiRecord record, int32_t category) {
  record.categoryOffset = category;
  records_.push_back(record);
}

void PoiTable::Finish() {
  std::stable_sort(records_.begin(), records_.end(), snt::SortsBefore);
  snt::WarningReach reach;
  for (const PoiRecord& record : records_) reach.Add(record.warnDistance);
  maxWarnMetres_ = reach.maxMetres;
  maxWarnSeconds_ = reach.maxSeconds;
}

void PoiTable::Clear() {
  records_.clear();
  categories_.clear();
  maxWarnMetres_ = 0;
  maxWarnSeconds_ = 0;
}

std::string_view PoiTable::CategoryText(int32_t index) const {
  const auto category = static_cast<size_t>(records_[static_cast<size_t>(index)].categoryOffset);
  return category < categories_.size() ? std::string_view(categories_[category]) : std::string_view();
}

}  // namespace warner
