#include "warner/search/search_surround.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <memory>

#include "platform/errors/errors.h"
#include "platform/files/file_replacement.h"
#include "platform/paths/paths.h"
#include "platform/text/text.h"
#include "warner/gps/conversions.h"

namespace warner {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// printf's "%.<precision>f", whatever locale the program runs in.
std::string Fixed(double value, int precision) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, precision);
  return result.ec == std::errc() ? std::string(text, result.ptr) : std::string("nan");
}

double ReadBack(const std::string& shown) {
  double value = 0;
  std::from_chars(shown.data(), shown.data() + shown.size(), value);
  return value;
}

bool IsReadableFile(const std::string& linuxPath) {
  struct stat info {};
  if (::stat(linuxPath.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  const File file(std::fopen(linuxPath.c_str(), "rb"));
  return file != nullptr;
}

bool HasAscExtension(std::string_view name) {
  return name.size() > 4 && platform::EqualsNoCase(name.substr(name.size() - 4), ".asc");
}

}  // namespace

std::vector<SurroundRow> FindSurroundRows(AscLineReader& list, SurroundPosition at, double radiusKm) {
  struct Hit {
    double shown;
    SurroundRow row;
  };
  std::vector<Hit> hits;
  AscLine line;
  while (ReadAscLine(list, line) == 0) {
    const double km = gps::GreatCircleDistance(at.longitude, at.latitude, line.longitude, line.latitude) * 0.001;
    if (!(km <= radiusKm)) continue;
    const double bearing = gps::InitialBearing(at.longitude, at.latitude, line.longitude, line.latitude);
    SurroundRow row{Fixed(km, 1), Fixed(bearing, 0) + "\u00B0", std::move(line.description),
                    std::move(line.longitudeText), std::move(line.latitudeText)};
    const double shown = ReadBack(row.distance);
    hits.push_back({shown, std::move(row)});
  }
  // Ordered by the distance as the list shows it; rows that read the same keep the file's order.
  std::stable_sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.shown < b.shown; });
  std::vector<SurroundRow> rows;
  rows.reserve(hits.size());
  for (Hit& hit : hits) rows.push_back(std::move(hit.row));
  return rows;
}

bool SearchPositionUsable(const gps::GpsFix& fix) {
  const bool midnight = fix.hour == 0 && fix.minute == 0 && fix.second == 0 && fix.millisecond == 0;
  return fix.fixQuality >= 1 && fix.latitude != 0 && !midnight;
}

std::string FileInSettingsFolder(std::string_view folder, std::string_view name) {
  // The handheld has no current folder: a name without one lies in the root.
  return platform::JoinPath(folder.empty() ? std::string_view("\\") : folder, name);
}

AscFileList FillAscFileList(std::string_view readFolder, std::string_view lastName, platform::Reporter& reporter) {
  AscFileList list;
  const std::string folder = platform::ToLinuxPath(readFolder.empty() ? std::string_view("\\") : readFolder);
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (HasAscExtension(name) && IsReadableFile(platform::JoinPath(folder, name))) list.names.push_back(name);
    }
    ::closedir(dir);
  }
  // The directory's own order differs between file systems; by name the list reads the same.
  std::sort(list.names.begin(), list.names.end(),
            [](const std::string& a, const std::string& b) { return platform::CompareNoCase(a, b) < 0; });
  for (size_t i = 0; i < list.names.size(); ++i) {
    if (platform::EqualsNoCase(list.names[i], lastName)) list.selected = static_cast<int>(i);
  }
  if (list.names.empty()) {
    reporter.Error("No *.asc files found.\nCheck the ASC dir path key in the SntGlobals.ini file:\n'%s' = '%s'\n",
                   "ASCReadDirPath", std::string(readFolder).c_str());
  }
  return list;
}

std::vector<SurroundRow> SearchSurround(std::string_view readFolder, std::string_view fileName, const gps::GpsFix& fix,
                                        double radiusKm, platform::Reporter& reporter) {
  if (fileName.empty()) return {};
  const std::string path = FileInSettingsFolder(readFolder, fileName);
  const File file(std::fopen(platform::ToLinuxPath(path).c_str(), "rb"));
  if (file == nullptr) {
    platform::SetLastErrorFromErrno(errno);
    reporter.ErrorLastError("Can't open the file '%s'.\n", path.c_str());
    return {};
  }
  if (!SearchPositionUsable(fix)) {
    reporter.Error("GPS Signal currently not available, try later.");
    return {};
  }
  AscLineReader reader(file.get());
  return FindSurroundRows(reader, {fix.longitude, fix.latitude}, radiusKm);
}

const char* FavouritesFileName(ProgramMode mode) { return mode == ProgramMode::kRover ? "RvrFav.ASC" : "SntFav.ASC"; }

std::string FavouriteLine(const SurroundRow& row) {
  return row.longitude + ", " + row.latitude + ", \"" + row.description + "\"\r\n";
}

int WriteFavourite(std::string_view writeFolder, ProgramMode mode, const SurroundRow& row,
                   platform::Reporter& reporter) {
  const std::string path = FileInSettingsFolder(writeFolder, FavouritesFileName(mode));
  platform::FileReplacement replacement;
  if (std::FILE* stream = platform::CreateReplacement(platform::ToLinuxPath(path), replacement)) {
    const std::string line = FavouriteLine(row);
    const bool written = std::fwrite(line.data(), 1, line.size(), stream) == line.size();
    const int writeErrno = errno;
    if (platform::FinishReplacement(stream) && written) {
      // A failed rename removes the new file and leaves the old one as it was.
      if (platform::PutReplacementsInPlace({&replacement, 1}) == 1) return 0;
    } else {
      platform::SetLastErrorFromErrno(written ? errno : writeErrno);
      platform::DiscardReplacements({&replacement, 1});
    }
  }
  reporter.ErrorLastError("Can't write to file '%s'.\n", path.c_str());
  return -1;
}

}  // namespace warner
