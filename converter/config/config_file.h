#pragma once
// A converter configuration file as its readers see it: the lines as a text-mode fgets with a
// 1024-byte buffer returns them, each already split into the key it sets and the value it gives.

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

// The longest line a read returns; longer lines go on as the next line.
inline constexpr size_t kMaxConfigLineLength = 1023;

class ConfigFile {
 public:
  struct Line {
    std::string text;  // as read, with its own line end, for the echo
    ConfigKey key = ConfigKey::kNone;
    std::string value;  // behind the first "=", comment and surrounding blanks removed
  };

  // False, with the errno value, when the file cannot be opened or read.
  static bool Load(const std::string& linuxPath, ConfigFile& out, int* errnoValue);
  // The same reading rules applied to text already in memory.
  static ConfigFile FromText(std::string_view text);

  const std::vector<Line>& Lines() const { return lines_; }

 private:
  std::vector<Line> lines_;
};

// Key and value of one line as read (line end included), by the rules every pass shares.
ConfigFile::Line ParseConfigLine(std::string_view text);

}  // namespace converter
