#pragma once
// The warner's settings record and its three key=value files in the program folder: the global
// settings (read at start-up), the main-window values (read at start-up, written at exit) and the
// line syntax they share with the pop-up window layout file.
//
// Inside the program text is UTF-8. A file that is valid UTF-8 (a Linux editor's, with or without
// a byte-order mark) is read as it stands; any other is Windows-1252, the handheld's code page,
// which is also how the main-window values are written.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/reports/reporter.h"
#include "warner/core/settings/source_setting.h"

namespace warner {

enum class ProgramMode : int { kSentry = 0, kRover = 1 };

// Longest text value a file may give a 260-character path buffer, and a spin text.
inline constexpr size_t kMaxPathValue = 259;
inline constexpr size_t kMaxSpinText = 19;

// Log mode codes of WriteLogMode.
enum WriteLogModeCode : int { kLogAll = 0, kLogNmea = 1, kLogNotNmea = 2, kLogSplit = 3 };

// Every value the warner is configured with. Field names follow the file keys.
struct WarnerSettings {
  ProgramMode mode = ProgramMode::kSentry;
  std::string programFolder;  // Linux path of the folder that holds the files

  // Global settings file.
  int playSatFixSound = 2;
  int logSntFileMissing = 1;
  int evaluateTMC = 0;
  int autoSwitch = 0;
  PortSetting useWM5GPSPort;
  PortSetting useGPSPort;
  PortSetting useTMCPort;
  int displayLongitudeFirst = 0;
  int writeLogMode = kLogAll;
  int announceOpenTime = 10;  // seconds, at least 1
  double directionToleranceAngle = 27.0;
  int speedsToAverage = 0;      // as read; the engine limits it to 0..10
  int speedLimitDimension = 2;  // gps::SpeedUnit, knots
  std::string speedLimitWAVFile;
  std::string satFixWAVFile;
  std::string satLostWAVFile;
  std::string keyStrokeWAVFile;
  int writeActPos = 0;
  int writeMergedLog = 0;
  std::string ascReadDirPath;   // ends with a separator unless empty
  std::string ascWriteDirPath;  // ends with a separator unless empty
  std::string alternateSourceFile;
  int alternateSourceType = 0;
  std::string fileMessageName;
  std::string registeredMessageName;

  // The source states the port keys chose; of UseWM5GPSPort and UseGPSPort the later line in the
  // file wins, and GpsPort() gives its port or file.
  SourceState gpsSourceState = kGpsSourceSearchVirtual;
  SourceState tmcSourceState = kTmcSourceNone;

  // Mode-dependent start-up values.
  bool watchAngleSpinEnabled = true;
  int speedLimitMaximum = 250;
  int speedLimitDefault = 100;
  std::string actPosFolder = "\\Windows\\";
  std::string actPosFileName = "SntActPos.ASC";

  // Main-window values file: the spin texts as shown ("18°", "100km/h"), the surroundings search's
  // last list and the source selection.
  std::string watchAngleText;
  std::string speedLimitText;
  std::string searchSurrASCFile;
  std::string source;
  int baudRate = 4800;
  std::string sourceFile;

  // The spins' values, from the texts by InitialiseSpinValues and kept by the main window after.
  int watchAngle = 18;  // degrees
  int speedLimit = 0;   // in the unit of speedLimitDimension

  // The port or file of the GPS source state; empty for the states no key chose.
  const PortSetting& GpsPort() const;
};

const char* GlobalSettingsFileName(ProgramMode mode);    // "SntGlobals.ini"
const char* MainWindowValuesFileName(ProgramMode mode);  // "SntSettings.ini"
const char* WindowLayoutFileName(ProgramMode mode);      // "Waypost.ini"

// Every default of `mode`, and the program folder (a Linux path) where the files are looked for.
// The caller then reads the main-window values, the window layout and the global settings, in
// that order, and calls InitialiseSpinValues.
void SetDefaultSettings(WarnerSettings& settings, ProgramMode mode, std::string_view programFolder);

// The spins' starting values from the saved texts: the watch angle is the text's number, or 18
// when there is none or it lies outside 0..360; the speed limit is the text's number, or the mode
// default when there is none or it lies outside 0..speedLimitMaximum.
void InitialiseSpinValues(WarnerSettings& settings);

// One line of a settings file (already cut at a line end) against one key: the value when the
// line sets that key, else nothing. The key is compared case-blind after leading blanks and tabs;
// blanks or tabs may stand between key and '='; "//" starts a comment. With `trim` the value's
// surrounding blanks and tabs go; without it only the leading ones go and the other tabs become
// blanks. An empty value never matches.
std::optional<std::string> MatchIniKey(std::string_view line, std::string_view key, bool trim);

// The lines of the warner's own text files (settings, window layouts): runs of printable
// characters, tabs included; every other control character ends a line, and empty runs are no
// lines. The count follows the line feeds, so a report names the line an editor shows.
class IniLines {
 public:
  explicit IniLines(std::string_view text) : text_(text) {}
  // The next line, or false at the end of the text.
  bool Next(std::string_view& line);
  // The number of the line Next gave last; after the end, the number of the text's last line.
  int LineNumber() const { return lineNumber_; }

 private:
  std::string_view text_;
  size_t next_ = 0;
  size_t lineStart_ = 0;
  int lineFeedsPassed_ = 0;
  int lineNumber_ = 1;
};

// Reads the global settings file over the defaults. 0, or -1 when the file cannot be opened (a
// missing file is no fault and is not reported) or a line cannot be handled ("Error in line %d of
// the Ini-File: %s" is shown; the lines before it stay in effect).
int ReadGlobalSettings(WarnerSettings& settings, platform::Reporter& reporter);

// Reads the main-window values file; 0 or -1 as ReadGlobalSettings.
int ReadMainWindowValues(WarnerSettings& settings, platform::Reporter& reporter);

// Writes the main-window values file: WatchAngle and SpeedLimit are the spins' values in use
// (watchAngle, speedLimit), the others the texts held. The new content goes to a temporary file
// beside the file (beside a link's target, so the link stays) that then replaces it, so a failure
// never leaves a cut or empty file behind. 0, or -1
// after a report when the file cannot be written. A text that would not read back as itself (a
// character Windows-1252 lacks, a control character, "//", too long for its key) is left out of
// the file, so its key comes back empty rather than as a different name, with a warning.
int WriteMainWindowValues(const WarnerSettings& settings, platform::Reporter& reporter);

// The integer and decimal conversions of the files: leading white space and a sign are allowed,
// the number ends at the first character that cannot continue it, no number gives 0. Integers
// beyond the int range saturate; decimals that are not finite give 0. Independent of the locale.
int IniToInt(std::string_view text);
double IniToDouble(std::string_view text);

}  // namespace warner
