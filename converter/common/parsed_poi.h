#pragma once
// One good line of a POI list, as the readers fill it and the writers take it. Its description
// lies in the PoiTexts filled along with the array.

#include <cstdint>

#include "converter/common/poi_texts.h"

namespace converter {

// Wide fields first: no padding inside the record.
struct ParsedPoi {
  double x = 0.0;  // degrees, reduced modulo 360 keeping the sign
  double y = 0.0;
  double heightPlus = 0.0;       // height in metres plus snt::kHeightOffset
  double directionTenths = 0.0;  // direction in degrees times 10, 0 <= d < 3600
  PoiText text;                  // cleaned description, Windows-1252
  int32_t number = 0;            // 1-based position in the final sorted order
  int32_t subcategory = 0;       // 0-based index of the SubGroup block whose list held the line
  int32_t x100k = 0;             // x times 100000, rounded half away from zero
  int32_t y100k = 0;
  int32_t datOffset = -1;       // set by the NavigonOEM writer
  int32_t namOffset = -1;       // set by the NavigonOEM writer
  uint16_t heightFlags = 0;     // snt::kHeightFlag when a height was given
  uint16_t directionFlags = 0;  // snt::kDirectionFlag when given, plus snt::kBothWaysFlag for both ways
  int16_t categoryNumber = 0;   // the subcategory's SubCategory number
};
// Every pass over the POIs walks the whole array: it must not grow unnoticed.
static_assert(sizeof(ParsedPoi) <= 72);

// x or y in degrees to units of 1/100000 degree, rounded half away from zero.
int32_t ToHundredThousandths(double degrees);

}  // namespace converter
