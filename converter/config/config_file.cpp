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

// What some editors write at the start of a UTF-8 file.
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

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
  std::string bytes = TextModeBytes(text);
  // Decided for the whole file: a Windows-1252 file with letters beyond ASCII is hardly ever valid
  // UTF-8 as a whole, while one line of it may be.
  const bool utf8 = platform::IsValidUtf8(bytes);
  if (utf8 && bytes.starts_with(kUtf8Mark)) bytes.erase(0, kUtf8Mark.size());
  ConfigFile file;
  for (size_t pos = 0; pos < bytes.size();) {
    const size_t lineEnd = bytes.find('\n', pos);
    const size_t next = lineEnd == std::string::npos ? bytes.size() : lineEnd + 1;
    std::string_view raw(bytes.data() + pos, next - pos);
    pos = next;
    // The readers see a C string: a NUL byte ends the line's text.
    raw = raw.substr(0, raw.find('\0'));
    size_t replaced = 0;
    std::string line = utf8 ? platform::Utf8ToCp1252(raw, '?', &replaced) : std::string(raw);
    const bool ended = !line.empty() && line.back() == '\n';
    const bool cut = line.size() - (ended ? 1 : 0) > kMaxConfigLineLength;
    if (cut) {
      line.resize(kMaxConfigLineLength);
      if (ended) line += '\n';
    }
    file.lines_.push_back(ParseConfigLine(line));
    file.lines_.back().cut = cut;
    file.lines_.back().unrepresentable = replaced != 0;
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
