#pragma once
// The row order as a list view gets it when each hit is inserted before the first row whose shown
// distance, read back as a number, is greater: the reference the fast ordering must equal row for
// row, and the baseline of its benchmark. Quadratic in the hits.

#include <cstdlib>
#include <vector>

#include "warner/search/search_surround.h"

namespace warner::test {

inline std::vector<SurroundRow> InsertRowsLiterally(const std::vector<SurroundRow>& readingOrder) {
  std::vector<SurroundRow> rows;
  for (const SurroundRow& hit : readingOrder) {
    const double distance = std::atof(hit.distance.c_str());
    size_t at = 0;
    while (at < rows.size() && std::atof(rows[at].distance.c_str()) <= distance) ++at;
    rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(at), hit);
  }
  return rows;
}

}  // namespace warner::test
