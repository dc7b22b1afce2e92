#include "warner/core/settings/warner_settings.h"

#include <cerrno>
#include <cstdio>

#include "platform/errors/errors.h"
#include "platform/files/file_replacement.h"
#include "platform/files/files.h"
#include "platform/numbers/lenient_number.h"
#include "platform/paths/paths.h"
#include "platform/text/text.h"
#include "warner/gps/conversions.h"

namespace warner {
namespace {

// The blanks around keys, '=' and values of a settings line.
bool IsIniBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view SkipBlanks(std::string_view text) {
  while (!text.empty() && IsIniBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view DropTrailingBlanks(std::string_view text) {
  while (!text.empty() && IsIniBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsModeRover(ProgramMode mode) { return mode == ProgramMode::kRover; }

// --- keys -------------------------------------------------------------------------------------

// How one key's value enters the record.
struct KeyRule {
  const char* key;
  bool trim;
  size_t maxLength;  // in file characters; 0: any (numbers and keywords)
  // Takes the value over; a rule that only reads it leaves it as it is.
  void (*apply)(WarnerSettings& settings, std::string&& value);
};

void SetPort(PortSetting& port, std::string&& value) {
  port = {};
  if (value.back() == ':') {
    port.portName = std::move(value);
  } else {
    port.filePath = std::move(value);
  }
}

int ParseWriteLogMode(std::string_view value) {
  const std::string lower = platform::ToLowerAscii(value);
  // "notnmea" holds "nmea": the longer keyword must be tried first.
  if (lower.find("all") != std::string::npos) return kLogAll;
  if (lower.find("notnmea") != std::string::npos) return kLogNotNmea;
  if (lower.find("nmea") != std::string::npos) return kLogNmea;
  if (lower.find("split") != std::string::npos) return kLogSplit;
  return kLogAll;
}

std::string WithTrailingSeparator(std::string_view value) { return platform::EnsureTrailingSeparator(value); }

constexpr size_t kAny = 0;

const KeyRule kGlobalKeys[] = {
    {"PlaySatFixSound", true, kAny, [](WarnerSettings& s, std::string&& v) { s.playSatFixSound = IniToInt(v); }},
    {"LogSntFileMissing", true, kAny, [](WarnerSettings& s, std::string&& v) { s.logSntFileMissing = IniToInt(v); }},
    {"EvaluateTMC", true, kAny, [](WarnerSettings& s, std::string&& v) { s.evaluateTMC = IniToInt(v); }},
    {"AutoSwitch", true, kAny, [](WarnerSettings& s, std::string&& v) { s.autoSwitch = IniToInt(v); }},
    {"UseWM5GPSPort", true, kMaxPathValue,
     [](WarnerSettings& s, std::string&& v) {
       SetPort(s.useWM5GPSPort, std::move(v));
       s.gpsSourceState = kGpsSourceUseWm5GpsPort;
     }},
    {"UseGPSPort", true, kMaxPathValue,
     [](WarnerSettings& s, std::string&& v) {
       SetPort(s.useGPSPort, std::move(v));
       s.gpsSourceState = kGpsSourceUseGpsPort;
     }},
    {"UseTMCPort", true, kMaxPathValue,
     [](WarnerSettings& s, std::string&& v) {
       SetPort(s.useTMCPort, std::move(v));
       s.tmcSourceState = kTmcSourceUseTmcPort;
     }},
    {"DisplayLongitudeFirst", true, kAny,
     [](WarnerSettings& s, std::string&& v) { s.displayLongitudeFirst = IniToInt(v); }},
    {"WriteLogMode", true, kAny, [](WarnerSettings& s, std::string&& v) { s.writeLogMode = ParseWriteLogMode(v); }},
    {"AnnounceOpenTime", true, kAny,
     [](WarnerSettings& s, std::string&& v) {
       // A window that closes at once would hide the announcement.
       s.announceOpenTime = IniToInt(v);
       if (s.announceOpenTime < 1) s.announceOpenTime = 10;
     }},
    {"DirectionToleranceAngle", true, kAny,
     [](WarnerSettings& s, std::string&& v) { s.directionToleranceAngle = IniToDouble(v); }},
    {"SpeedsToAverage", true, kAny, [](WarnerSettings& s, std::string&& v) { s.speedsToAverage = IniToInt(v); }},
    {"SpeedLimitDimension", true, kAny,
     [](WarnerSettings& s, std::string&& v) {
       s.speedLimitDimension = gps::ParseSpeedUnit(platform::ToLowerAscii(v));
     }},
    {"SpeedLimitWAVFile", true, kMaxPathValue,
     [](WarnerSettings& s, std::string&& v) { s.speedLimitWAVFile = std::move(v); }},
    {"SatFixWAVFile", true, kMaxPathValue, [](WarnerSettings& s, std::string&& v) { s.satFixWAVFile = std::move(v); }},
    {"SatLostWAVFile", true, kMaxPathValue,
     [](WarnerSettings& s, std::string&& v) { s.satLostWAVFile = std::move(v); }},
    {"KeyStrokeWAVFile", true, kMaxPathValue,
     [](WarnerSettings& s, std::string&& v) { s.keyStrokeWAVFile = std::move(v); }},
    {"WriteActPos", true, kAny, [](WarnerSettings& s, std::string&& v) { s.writeActPos = IniToInt(v); }},
    {"WriteMergedLog", true, kAny, [](WarnerSettings& s, std::string&& v) { s.writeMergedLog = IniToInt(v); }},
    {"ASCReadDirPath", true, kMaxPathValue,
     [](WarnerSettings& s, std::string&& v) { s.ascReadDirPath = WithTrailingSeparator(std::move(v)); }},
    {"ASCWriteDirPath", true, kMaxPathValue,
     [](WarnerSettings& s, std::string&& v) { s.ascWriteDirPath = WithTrailingSeparator(std::move(v)); }},
    // Untrimmed, so that a file name may begin or end with a blank.
    {"AlternateSourceFile", false, kMaxPathValue,
     [](WarnerSettings& s, std::string&& v) { s.alternateSourceFile = std::move(v); }},
    {"AlternateSourceType", true, kAny,
     [](WarnerSettings& s, std::string&& v) { s.alternateSourceType = IniToInt(v); }},
    {"FileMessageName", true, kMaxPathValue,
     [](WarnerSettings& s, std::string&& v) { s.fileMessageName = std::move(v); }},
    {"RegisteredMessageName", true, kMaxPathValue,
     [](WarnerSettings& s, std::string&& v) { s.registeredMessageName = std::move(v); }},
};

const KeyRule kMainWindowKeys[] = {
    {"WatchAngle", true, kMaxSpinText, [](WarnerSettings& s, std::string&& v) { s.watchAngleText = std::move(v); }},
    {"SpeedLimit", true, kMaxSpinText, [](WarnerSettings& s, std::string&& v) { s.speedLimitText = std::move(v); }},
    {"SearchSurrASCFile", true, kMaxPathValue,
     [](WarnerSettings& s, std::string&& v) { s.searchSurrASCFile = std::move(v); }},
    {"Source", true, kMaxPathValue, [](WarnerSettings& s, std::string&& v) { s.source = std::move(v); }},
    {"BaudRate", true, kAny, [](WarnerSettings& s, std::string&& v) { s.baudRate = IniToInt(v); }},
    {"SourceFile", true, kMaxPathValue, [](WarnerSettings& s, std::string&& v) { s.sourceFile = std::move(v); }},
};

// An alternate source overrides the port keys wherever they stand in the file.
void ApplyAlternateSource(WarnerSettings& settings) {
  if (settings.alternateSourceType != 0) settings.evaluateTMC = 0;
  if (settings.alternateSourceType > 0) {
    settings.useWM5GPSPort = {};
    settings.useGPSPort = {};
    settings.gpsSourceState = kGpsSourceSearchVirtual;
  }
}

// --- reading ----------------------------------------------------------------------------------

std::string SettingsPath(const WarnerSettings& settings, const char* fileName) {
  return platform::JoinPath(settings.programFolder, fileName);
}

// Hands one line to the first key that takes it. False when the line cannot be taken: its value
// does not fit the key's buffer, and cutting it would silently change a name.
template <size_t N>
bool HandleLine(WarnerSettings& settings, const KeyRule (&rules)[N], std::string_view line, bool utf8) {
  for (const KeyRule& rule : rules) {
    std::optional<std::string> value = MatchIniKey(line, rule.key, rule.trim);
    if (!value) continue;
    std::string text = utf8 ? std::move(*value) : platform::Cp1252ToUtf8(*value);
    if (rule.maxLength != kAny) {
      const size_t length = utf8 ? platform::Utf8ToCp1252(text).size() : value->size();
      if (length > rule.maxLength) return false;
    }
    rule.apply(settings, std::move(text));
    return true;
  }
  return true;
}

template <size_t N>
int ReadIniFile(WarnerSettings& settings, const KeyRule (&rules)[N], const char* fileName,
                platform::Reporter& reporter) {
  const std::string path = SettingsPath(settings, fileName);
  const platform::FileBytes file = platform::ReadFileBytes(path);
  if (!file.opened) {
    // A missing file means "use the defaults"; any other failure would hide the user's settings.
    if (file.error != ENOENT && file.error != ENOTDIR) reporter.ErrorLastError("Can't open %s.\n", path.c_str());
    return -1;
  }

  std::string_view text = file.bytes;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  // Linux editors write UTF-8, the handheld's wrote Windows-1252: the whole file decides.
  const bool utf8 = platform::IsValidUtf8(text);

  IniLines lines(text);
  std::string_view line;
  bool failed = false;
  while (!failed && lines.Next(line)) failed = !HandleLine(settings, rules, line, utf8);
  // Whatever could be read stays in effect; the report names the line the read stopped in.
  if (file.error != 0) failed = true;
  if (failed) {
    reporter.Error("Error in line %d of the Ini-File: %s", lines.LineNumber(), path.c_str());
    return -1;
  }
  return 0;
}

// --- writing ----------------------------------------------------------------------------------

// The watch-angle spin shows its value as "%d°".
std::string WatchAngleSpinText(int angle) { return std::to_string(angle) + "\u00B0"; }

// The file form of a text, or nothing when it would not read back as the same text.
std::optional<std::string> StorableText(std::string_view text, size_t maxLength) {
  size_t replaced = 0;
  std::string bytes = platform::Utf8ToCp1252(text, '?', &replaced);
  if (replaced != 0 || bytes.size() > maxLength) return std::nullopt;
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) < 32) return std::nullopt;
  }
  if (bytes.find("//") != std::string::npos) return std::nullopt;
  return bytes;
}

// Writes `content` through a temporary file beside the file (beside a link's target); the old
// file stays whole until the new one is complete on disk. The last error is set on failure.
bool ReplaceFile(const std::string& linuxPath, std::string_view content) {
  platform::FileReplacement replacement;
  std::FILE* stream = platform::CreateReplacement(linuxPath, replacement);
  if (stream == nullptr) return false;
  const bool written = std::fwrite(content.data(), 1, content.size(), stream) == content.size();
  // A failed write leaves the stream's error set, so finishing fails too and sets the last error.
  if (!platform::FinishReplacement(stream) || !written) {
    platform::DiscardReplacements({&replacement, 1});
    return false;
  }
  return platform::PutReplacementsInPlace({&replacement, 1}) == 1;
}

}  // namespace

const PortSetting& WarnerSettings::GpsPort() const {
  static const PortSetting kNone;
  if (gpsSourceState == kGpsSourceUseWm5GpsPort) return useWM5GPSPort;
  if (gpsSourceState == kGpsSourceUseGpsPort) return useGPSPort;
  return kNone;
}

const char* GlobalSettingsFileName(ProgramMode mode) { return IsModeRover(mode) ? "RvrGlobals.ini" : "SntGlobals.ini"; }

const char* MainWindowValuesFileName(ProgramMode mode) {
  return IsModeRover(mode) ? "RvrSettings.ini" : "SntSettings.ini";
}

const char* WindowLayoutFileName(ProgramMode mode) { return IsModeRover(mode) ? "Roampost.ini" : "Waypost.ini"; }

void SetDefaultSettings(WarnerSettings& settings, ProgramMode mode, std::string_view programFolder) {
  settings = WarnerSettings{};
  settings.mode = mode;
  settings.programFolder = std::string(programFolder);
  if (IsModeRover(mode)) {
    settings.watchAngleSpinEnabled = false;
    settings.speedLimitMaximum = 1000;
    settings.speedLimitDefault = 400;
    settings.actPosFileName = "RvrActPos.ASC";
  }
}

void InitialiseSpinValues(WarnerSettings& settings) {
  auto hasNumber = [](std::string_view text) {
    text = SkipBlanks(text);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
    return !text.empty() && text.front() >= '0' && text.front() <= '9';
  };
  settings.watchAngle = 18;
  if (hasNumber(settings.watchAngleText)) {
    const int angle = IniToInt(settings.watchAngleText);
    if (angle >= 0 && angle <= 360) settings.watchAngle = angle;
  }
  settings.speedLimit = settings.speedLimitDefault;
  if (hasNumber(settings.speedLimitText)) {
    const int limit = IniToInt(settings.speedLimitText);
    if (limit >= 0 && limit <= settings.speedLimitMaximum) settings.speedLimit = limit;
  }
}

bool IniLines::Next(std::string_view& line) {
  while (next_ <= text_.size()) {
    const size_t end = next_++;
    // The end of the text ends its last line.
    const unsigned char c = end < text_.size() ? static_cast<unsigned char>(text_[end]) : '\n';
    if (c >= 32 || c == '\t') continue;
    const size_t start = lineStart_;
    lineStart_ = end + 1;
    lineNumber_ = 1 + lineFeedsPassed_;
    if (c == '\n' && end < text_.size()) ++lineFeedsPassed_;
    if (end > start) {
      line = text_.substr(start, end - start);
      return true;
    }
  }
  lineNumber_ = 1 + lineFeedsPassed_;
  return false;
}

std::optional<std::string> MatchIniKey(std::string_view line, std::string_view key, bool trim) {
  const size_t comment = line.find("//");
  if (comment != std::string_view::npos) line = line.substr(0, comment);
  line = SkipBlanks(line);
  if (line.size() <= key.size() || !platform::EqualsNoCase(line.substr(0, key.size()), key)) return std::nullopt;
  std::string_view rest = line.substr(key.size());
  // The key must end here, or "SpeedLimit" would take "SpeedLimitDimension".
  if (!IsIniBlank(rest.front()) && rest.front() != '=') return std::nullopt;
  rest = SkipBlanks(rest);
  if (rest.empty() || rest.front() != '=') return std::nullopt;
  rest.remove_prefix(1);

  std::string value;
  if (trim) {
    value = std::string(DropTrailingBlanks(SkipBlanks(rest)));
  } else {
    // Only the trailing blanks are the value's own: nobody means a file name that starts with a
    // blank, and "key = value" is how every other key is written.
    value = std::string(SkipBlanks(rest));
    for (char& c : value) {
      if (c == '\t') c = ' ';
    }
  }
  if (value.empty()) return std::nullopt;
  return value;
}

int ReadGlobalSettings(WarnerSettings& settings, platform::Reporter& reporter) {
  const int result = ReadIniFile(settings, kGlobalKeys, GlobalSettingsFileName(settings.mode), reporter);
  ApplyAlternateSource(settings);
  return result;
}

int ReadMainWindowValues(WarnerSettings& settings, platform::Reporter& reporter) {
  return ReadIniFile(settings, kMainWindowKeys, MainWindowValuesFileName(settings.mode), reporter);
}

int WriteMainWindowValues(const WarnerSettings& settings, platform::Reporter& reporter) {
  const std::string path = SettingsPath(settings, MainWindowValuesFileName(settings.mode));
  std::string content;
  auto addText = [&](const char* key, const std::string& text, size_t maxLength) {
    if (text.empty()) {
      content += key;
      content += "=\n";
      return;
    }
    const std::optional<std::string> bytes = StorableText(text, maxLength);
    if (!bytes) {
      reporter.Warn("The value of %s can't be stored in %s and is left out:\n%s\n", key, path.c_str(), text.c_str());
      return;
    }
    content += key;
    content += '=';
    content += *bytes;
    content += '\n';
  };
  auto addInt = [&](const char* key, int value) {
    char line[64];
    snprintf(line, sizeof line, "%s=%d\n", key, value);
    content += line;
  };

  // The spins' values are what the warner used, whatever the file held: a missing or unreadable
  // text must come back as the value in use, not as an empty text that would switch the alarm off.
  addText("WatchAngle", WatchAngleSpinText(settings.watchAngle), kMaxSpinText);
  addInt("SpeedLimit", settings.speedLimit);
  addText("SearchSurrASCFile", settings.searchSurrASCFile, kMaxPathValue);
  addText("Source", settings.source, kMaxPathValue);
  addInt("BaudRate", settings.baudRate);
  addText("SourceFile", settings.sourceFile, kMaxPathValue);

  if (!ReplaceFile(platform::ToLinuxPath(path), content)) {
    reporter.ErrorLastError("Can't write %s.\n", path.c_str());
    return -1;
  }
  return 0;
}

int IniToInt(std::string_view text) { return platform::ReadLeadingInt(text, platform::kIniNumbers); }

double IniToDouble(std::string_view text) { return platform::ReadLeadingReal(text, platform::kIniNumbers).value; }

}  // namespace warner
