#pragma once
// The warner's POI database: the whole .snt file in one buffer while the warner is active,
// validated before it is trusted, with its records read in place. Also the rules that turn a
// POI's category text into its announcement, its sound path and its bitmap path.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formats/snt/snt_format.h"
#include "platform/reports/reporter.h"

namespace warner {

// The longest path the handheld can name, in characters (a 260-character buffer with its NUL).
inline constexpr size_t kMaxPathChars = 259;

// OpenPoiDatabaseFile's results besides 0 and -1: the file is missing and nobody was told (5), or
// the user acknowledged the missing-file message (6).
inline constexpr int kDatabaseMissingSilent = 5;
inline constexpr int kDatabaseMissingAccepted = 6;

// One record, decoded from the buffer.
using PoiRecord = snt::PoiRecord;

// Where the mode's database lives: the program folder (a Linux path) and "Sentry.snt" or
// "Rover.snt".
struct DatabaseLocation {
  std::string programFolder;
  std::string fileName;
};

// The database file name of a program mode: 0 Sentry, 1 Rover (anything else is taken as Sentry).
const char* DatabaseFileName(int programMode);

// How the missing-file message asks: an OK box at start-up, a Yes/No question at activation.
enum class MessageStyle { kOk, kYesNo };

struct FileCloser {
  void operator()(std::FILE* file) const {
    if (file != nullptr) std::fclose(file);
  }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// The loaded database. Loading and unloading happen while no worker runs; while loaded the buffer
// is only read, so the accessors need no lock.
class PoiDatabase {
 public:
  PoiDatabase(platform::Reporter& reporter, DatabaseLocation location);
  ~PoiDatabase();
  PoiDatabase(const PoiDatabase&) = delete;
  PoiDatabase& operator=(const PoiDatabase&) = delete;

  // The engine registers here to free its tracked POIs and reset itself: they hold indices into
  // the records, which die with the buffer. Called on every unload.
  void SetUnloadObserver(std::function<void()> observer);

  // Opens "<program folder>/<file name>" for binary reading. 0 with the file in *file (closed at
  // once when file is null, for the start-up check); a missing file gives 5 when
  // logSntFileMissing is 0, otherwise the "not available" message in the given style and then 6
  // for OK or Yes, -1 for No.
  int OpenPoiDatabaseFile(int logSntFileMissing, MessageStyle style, UniqueFile* file = nullptr) const;
  // Reads the open file into the buffer and checks it; filePath only names it in messages. 0 when
  // loaded or when the file holds no records (then nothing is loaded), -1 after a message.
  int LoadPoiDatabase(std::FILE* file, std::string_view filePath);
  // Unload, open with a Yes/No question, load, close. 0 when loaded or empty, the open result (5, 6
  // or -1) when the file is missing, -1 when it cannot be loaded.
  int ActivatePoiDatabase(int logSntFileMissing);
  void UnloadPoiDatabase();

  bool IsPoiDatabaseLoaded() const;
  int32_t RecordCount() const;
  // The record at index (0 <= index < RecordCount()).
  PoiRecord Record(int32_t index) const;
  int32_t MaxWarnMetres() const;
  int32_t MaxWarnSeconds() const;
  // The category text of a record (Windows-1252 bytes, without the NUL).
  std::string_view CategoryText(int32_t index) const;
  // The category records in file order, as the header counts them; a count that runs past the
  // category region stops at the last whole record.
  std::vector<std::string_view> CategoryTexts() const;

  // The record's announcement (UTF-8); see the free function.
  std::string AnnouncementText(int32_t index) const;
  // The record's bitmap in the programs' path form, or "" when that file does not exist.
  std::string PoiBitmapPath(int32_t index) const;

  std::string DatabasePath() const;
  const std::string& ProgramFolder() const { return location_.programFolder; }

 private:
  platform::Reporter& reporter_;
  DatabaseLocation location_;
  std::function<void()> unloadObserver_;

  std::unique_ptr<uint8_t[]> buffer_;
  uint32_t length_ = 0;
  int32_t recordCount_ = 0;
  uint32_t recordOffset_ = 0;
  uint32_t categoryCount_ = 0;
  int32_t maxWarnMetres_ = 0;
  int32_t maxWarnSeconds_ = 0;
};

// What follows the category text's last backslash, without a leading "." and without a ".wav"
// ending (any case), converted from Windows-1252 to UTF-8: ".Radar.wav" and "x\\Radar" both
// announce "Radar".
std::string AnnouncementText(std::string_view categoryText);

// The path of a category's sound or bitmap file, in the programs' form, before any existence test:
// a leading "." puts the rest of the text into `folder` ("Sounds\\", "Bitmaps\\") under the program
// folder; the extension is added when missing and replaced when it differs (any case); a last "."
// before the last separator leaves the path as it is. The text is cut so that the path holds at
// most kMaxPathChars characters; "" when the extension would not fit any more.
std::string CategoryFilePath(std::string_view categoryText, std::string_view programFolder, std::string_view folder,
                             std::string_view extension);

// CategoryFilePath with "Bitmaps\\" and ".bmp", or "" when that path is not an existing file.
std::string PoiBitmapPath(std::string_view categoryText, std::string_view programFolder);

}  // namespace warner
