#pragma once
// The search around a position from the command line: the dialog's rows as text or JSON lines.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace warner {

struct SearchCommand {
  std::string listPath;  // an ASC POI list (Linux path)
  double latitude = 0.0;
  double longitude = 0.0;
  double radiusKm = 10.0;
  bool json = false;
};

// Exit codes of the search.
enum SearchResult : int {
  kSearchDone = 0,
  kSearchBadCommandLine = 2,
  kSearchListUnreadable = 3,
  kSearchOutputFailed = 5,
};

// "LAT,LON" in decimal degrees (-90..90, -180..180); nothing when it is not that.
std::optional<std::pair<double, double>> ParseSearchPosition(std::string_view text);
// A radius in kilometres above 0; nothing otherwise.
std::optional<double> ParseSearchRadius(std::string_view text);

// Prints one line per row, nearest first: distance, direction, description, longitude and latitude
// separated by tabs, or with `json` one object per row with those keys. The description is turned
// into UTF-8 (and made safe for a terminal in the text form). A list that cannot be opened is said
// on `err`.
int RunSearchCommand(const SearchCommand& command, std::FILE* out, std::FILE* err);

}  // namespace warner
