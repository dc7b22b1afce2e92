#pragma once
// A converter configuration file as its readers see it: its lines in Windows-1252, each cut to
// 1023 characters and already split into the key it sets and the value it gives.

#include <string>
#include <string_view>
#include <vector>

namespace converter {

// Every key a configuration line can set. IncludeComments is both a global key and a
// per-subcategory key: the passes decide which meaning they read.
enum class ConfigKey {
  kNone,
  // Log settings.
  kLogFile,
  kLogLevel,
  kWaitConfirm,
  // Global settings.
  kTargetSystem,
  kIncludeComments,
  kMapRegion,
  kMainGroup,
  kWaypostPath,
  kDestinationDirectory,
  // Per-subcategory keys.
  kSubGroup,
  kSubCategory,
  kAscFile,
  kColumnSeparator,
  kZoomLevelText,
  kFontName,
  kFontSize,
  kFontType,
  kFontColour,
  kOutlineColour,
  kBitmapFile,
  kZoomLevelBitmap,
  kWavFile,
  kSentryDistance,
};

inline constexpr int kConfigKeyCount = static_cast<int>(ConfigKey::kSentryDistance) + 1;

// The key's name as it is written in the file ("" for kNone).
std::string_view ConfigKeyName(ConfigKey key);

// The key a line sets: a key name, in any case, at the very start of the line. Nothing when the
// line starts with a blank or with no key name.
ConfigKey RecognizeKey(std::string_view line);

// The longest line the readers take; a longer one is cut, and the rest of it is no line of its own.
inline constexpr size_t kMaxConfigLineLength = 1023;

class ConfigFile {
 public:
  struct Line {
    std::string text;  // as read, with its own line end, for the echo
    ConfigKey key = ConfigKey::kNone;
    std::string value;             // behind the first "=", comment and surrounding blanks removed
    bool cut = false;              // longer than kMaxConfigLineLength
    bool unrepresentable = false;  // a UTF-8 file's line with characters Windows-1252 lacks ('?' now)
  };

  // False, with the errno value, when the file cannot be opened or read.
  static bool Load(const std::string& linuxPath, ConfigFile& out, int* errnoValue);
  // The same reading rules applied to text already in memory. A file that is valid UTF-8 (what
  // Linux editors write) is converted to Windows-1252; any other is Windows-1252 already.
  static ConfigFile FromText(std::string_view text);

  const std::vector<Line>& Lines() const { return lines_; }

 private:
  std::vector<Line> lines_;
};

// Key and value of one line as read (line end included), by the rules every pass shares.
ConfigFile::Line ParseConfigLine(std::string_view text);

}  // namespace converter
