#include "converter/config/config_file.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <utility>

#include "platform/text/text.h"

namespace converter {
namespace {

struct KeyName {
  ConfigKey key;
  std::string_view name;
};

// No name here is a prefix of another, so the first match is the only one (a test holds us to it).
constexpr std::array<KeyName, kConfigKeyCount - 1> kKeyNames = {{
    {ConfigKey::kLogFile, "LogFile"},
    {ConfigKey::kLogLevel, "LogLevel"},
    {ConfigKey::kWaitConfirm, "WaitConfirm"},
    {ConfigKey::kTargetSystem, "TargetSystem"},
    {ConfigKey::kIncludeComments, "IncludeComments"},
    {ConfigKey::kMapRegion, "MapRegion"},
    {ConfigKey::kMainGroup, "MainGroup"},
    {ConfigKey::kWaypostPath, "WaypostPath"},
    {ConfigKey::kDestinationDirectory, "DestinationDirectory"},
    {ConfigKey::kSubGroup, "SubGroup"},
    {ConfigKey::kSubCategory, "SubCategory"},
    {ConfigKey::kAscFile, "ASCFile"},
    {ConfigKey::kColumnSeparator, "ColumnSeparator"},
    {ConfigKey::kZoomLevelText, "ZoomLevelText"},
    {ConfigKey::kFontName, "FontName"},
    {ConfigKey::kFontSize, "FontSize"},
    {ConfigKey::kFontType, "FontType"},
    {ConfigKey::kFontColour, "FontColour"},
    {ConfigKey::kOutlineColour, "OutlineColour"},
    {ConfigKey::kBitmapFile, "BitmapFile"},
    {ConfigKey::kZoomLevelBitmap, "ZoomLevelBitmap"},
    {ConfigKey::kWavFile, "WAVFile"},
    {ConfigKey::kSentryDistance, "SentryDistance"},
}};

bool IsTrailingBlank(char c) { return c == ' ' || c == '\n' || c == '\r'; }

// Windows text mode turns CR LF into LF; a lone CR stays.
std::string TextModeBytes(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    out.push_back(raw[i]);
  }
  return out;
}

}  // namespace

std::string_view ConfigKeyName(ConfigKey key) {
  for (const KeyName& entry : kKeyNames) {
    if (entry.key == key) return entry.name;
  }
  return {};
}

ConfigKey RecognizeKey(std::string_view line) {
  for (const KeyName& entry : kKeyNames) {
    if (line.size() >= entry.name.size() && platform::EqualsNoCase(line.substr(0, entry.name.size()), entry.name)) {
      return entry.key;
    }
  }
  return ConfigKey::kNone;
}

ConfigFile::Line ParseConfigLine(std::string_view text) {
  ConfigFile::Line line;
  line.text = std::string(text);

  std::string work(text.substr(0, text.find("//")));
  for (char& c : work) {
    if (c == '\t') c = ' ';
  }
  line.key = RecognizeKey(work);
  if (line.key == ConfigKey::kNone) return line;

  const size_t equals = work.find('=');
  if (equals == std::string::npos) return line;
  size_t begin = equals + 1;
  while (begin < work.size() && work[begin] == ' ') ++begin;
  size_t end = work.size();
  while (end > begin && IsTrailingBlank(work[end - 1])) --end;
  line.value = work.substr(begin, end - begin);
  return line;
}

ConfigFile ConfigFile::FromText(std::string_view text) {
  const std::string bytes = TextModeBytes(text);
  ConfigFile file;
  size_t pos = 0;
  while (pos < bytes.size()) {
    // What one fgets call returns: up to the line end, at most kMaxConfigLineLength bytes.
    size_t length = 0;
    while (pos + length < bytes.size() && length < kMaxConfigLineLength) {
      if (bytes[pos + length++] == '\n') break;
    }
    std::string_view chunk(bytes.data() + pos, length);
    pos += length;
    // The readers see a C string: a NUL byte ends the line's text.
    chunk = chunk.substr(0, chunk.find('\0'));
    file.lines_.push_back(ParseConfigLine(chunk));
  }
  return file;
}

bool ConfigFile::Load(const std::string& linuxPath, ConfigFile& out, int* errnoValue) {
  std::FILE* stream = std::fopen(linuxPath.c_str(), "rb");
  if (stream == nullptr) {
    if (errnoValue != nullptr) *errnoValue = errno;
    return false;
  }
  std::string raw;
  char buffer[16384];
  size_t got = 0;
  errno = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) raw.append(buffer, got);
  // A folder opens on Linux but cannot be read; the file is as unusable as one that cannot be opened.
  const bool failed = std::ferror(stream) != 0;
  const int readErrno = errno;
  std::fclose(stream);
  if (failed) {
    if (errnoValue != nullptr) *errnoValue = readErrno != 0 ? readErrno : EIO;
    return false;
  }
  out = FromText(raw);
  return true;
}

}  // namespace converter
