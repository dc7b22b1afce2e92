#pragma once
// The search around the position: the points of one ASC POI list within a radius, nearest first,
// with their distance and direction, and the favourite taken from them.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "platform/reports/reporter.h"
#include "warner/core/settings/warner_settings.h"
#include "warner/gps/gps_fix.h"
#include "warner/search/asc_line.h"

namespace warner {

// The radius list's entries in kilometres, and the one preselected ("10").
inline constexpr const char* kSearchRadii[] = {"1",  "2.5", "5",   "10",  "15",  "20", "25",
                                               "50", "100", "150", "200", "250", "500"};
inline constexpr int kDefaultRadiusIndex = 3;

// One row of the result list, as the list view shows it.
struct SurroundRow {
  std::string distance;     // kilometres, one decimal: "7.4"
  std::string direction;    // whole degrees with the degree sign, UTF-8: "90°"
  std::string description;  // the list file's bytes
  std::string longitude;    // the texts as written in the list file
  std::string latitude;
};

struct SurroundPosition {
  double longitude = 0.0;
  double latitude = 0.0;
};

// Every accepted line of `list` within `radiusKm` of `at`, ordered by the distance as shown (so
// that rows whose distances read the same stay in the list's order).
std::vector<SurroundRow> FindSurroundRows(AscLineReader& list, SurroundPosition at, double radiusKm);

// Whether the fix holds a position worth searching around: a fix quality of at least 1, a latitude
// other than exactly 0 and a fix time other than 00:00:00.000.
bool SearchPositionUsable(const gps::GpsFix& fix);

// A folder of the settings joined with a file name; an empty folder is the handheld's root.
std::string FileInSettingsFolder(std::string_view folder, std::string_view name);

// The *.asc files (any case of the extension) of a folder that can be opened for reading, by name.
struct AscFileList {
  std::vector<std::string> names;
  int selected = -1;  // the entry named `lastName` (case-blind); -1 when absent
};
// Fills the list from ASCReadDirPath; with no file, says so (naming the key and the folder).
AscFileList FillAscFileList(std::string_view readFolder, std::string_view lastName, platform::Reporter& reporter);

// The search of the dialog's "Search" button: opens ASCReadDirPath + `fileName`, checks the
// position, reads the list. Each failure is said as the dialog says it and gives no rows.
std::vector<SurroundRow> SearchSurround(std::string_view readFolder, std::string_view fileName, const gps::GpsFix& fix,
                                        double radiusKm, platform::Reporter& reporter);

// "SntFav.ASC" or "RvrFav.ASC".
const char* FavouritesFileName(ProgramMode mode);
// The favourites file's one line for a row: longitude text, latitude text, quoted description, CR LF.
std::string FavouriteLine(const SurroundRow& row);
// Replaces the favourites file of ASCWriteDirPath with the row's line; an old file is only ever
// replaced by a complete new one. 0, or -1 after "Can't write to file '%s'.\n".
int WriteFavourite(std::string_view writeFolder, ProgramMode mode, const SurroundRow& row,
                   platform::Reporter& reporter);

}  // namespace warner
