#pragma once
// Reading the POI lists of a conversion run: one list per subcategory, every good line a ParsedPoi,
// all of them in one array sorted by position.
//
// A list line: x S y S [anything] "text" [anything] S height S direction [S anything], with S the
// subcategory's column separator. The text may carry a direction group $...$ (plain degrees or the
// "0x" encoded form); a direction in the fifth field wins over it.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "converter/common/converter_config.h"
#include "converter/common/parsed_poi.h"
#include "converter/common/run_log.h"

namespace converter {

enum class PoiLineResult { kPoi, kIgnored, kRejected };

// The reasons a line is rejected, as the log quotes them.
inline constexpr const char* kReasonNotNumeric = "Illegal line found, does not start with a numeric value.";
inline constexpr const char* kReasonNoTwoSeparators = "No two column separators found.";
inline constexpr const char* kReasonNoTwoCoordinates = "No two coordinates found.";
inline constexpr const char* kReasonNoTwoQuotes = "No two quotes found.";
// "The height must be betweeen 32000. and -2767. meters."
const char* HeightReason();

inline constexpr double kMaxPoiHeight = 32000.0;
inline constexpr double kMinPoiHeight = -2767.0;

// An encoded direction group decodes into at most this many characters; a longer one is not
// taken as a direction and stays in the text.
inline constexpr size_t kMaxDecodedDirection = 79;

// Parses one line (trailing CR/LF already removed) of the list of subcategory `subcategoryIndex`.
// kPoi fills every field of `poi` (number provisional: 0) and adds its text to `texts` (only then);
// on kRejected, *reason (when given) is the reason text. The line is only read, never changed.
PoiLineResult ParsePoiLine(std::string_view line, const SubcategoryConfig& sub, int subcategoryIndex,
                           bool navigonTarget, PoiTexts& texts, ParsedPoi& poi, const char** reason);

// Ceilings of a reading; tests lower them.
struct PoiListLimits {
  int64_t maxPois = INT32_MAX;  // more lines than this cannot be reserved
  size_t maxLineLength = 0;     // 0: the reader's default (longer lines are split)
};

// The whole reading of the run: counting mode over all lists, reserve, parsing mode, sort by x100k
// then y100k, renumber 1..n, "\nTotal number of POIs: %d\n". Returns 0, or -1 after its message in
// the log (a list cannot be opened or read; memory). Adds rejected lines to counters.badPois and
// sets counters.pois. The POIs' texts are in `texts`, which is emptied first.
int ReadPoiLists(const ConverterConfig& config, RunLog& log, RunCounters& counters, std::vector<ParsedPoi>& pois,
                 PoiTexts& texts);
int ReadPoiLists(const ConverterConfig& config, RunLog& log, RunCounters& counters, std::vector<ParsedPoi>& pois,
                 PoiTexts& texts, const PoiListLimits& limits);

// Sorts by x100k, then y100k (equal positions keep their order) and renumbers 1..n. Sorts an array
// of keys, then copies each POI once into a new array in that order.
void SortPois(std::vector<ParsedPoi>& pois);

}  // namespace converter
