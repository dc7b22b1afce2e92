#include "converter/config/config_reader.h"

#include <cerrno>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "converter/config/config_values.h"
#include "platform/numbers/lenient_number.h"

namespace converter {
namespace {

constexpr int kMessageBufferSize = 520;

std::string StringTooLong(int lineNumber, int limit) {
  char text[kMessageBufferSize];
  std::snprintf(text, sizeof text, "# Line %d: String too long, max allowed %d characters. #", lineNumber, limit);
  return text;
}

std::string TooManySubcategories(int lineNumber, int count) {
  char text[kMessageBufferSize];
  std::snprintf(text, sizeof text, "# Line %d: Number of subcategories too great: %d, max allowed: %d.\n", lineNumber,
                count, kMaxSubcategories);
  return text;
}

std::string NotWindows1252(int lineNumber) {
  char text[kMessageBufferSize];
  std::snprintf(text, sizeof text, "# Line %d: Characters without a Windows-1252 code. #", lineNumber);
  return text;
}

bool TooLong(const std::string& value, int bufferSize) { return value.size() >= static_cast<size_t>(bufferSize); }

bool EndsWithSeparator(const std::string& path) { return !path.empty() && (path.back() == '\\' || path.back() == '/'); }

void Echo(RunLog* echo, const ConverterConfig& config, int lineNumber, const ConfigFile::Line& line) {
  if (echo != nullptr && config.logLevel != 0) echo->Printf("Line %6d: %s", lineNumber, line.text.c_str());
}

// A sound reference starts at its first printable character; bytes above 0x7F are letters of the
// code page and stay.
std::string_view SkipBlanksAndControls(std::string_view value) {
  size_t pos = 0;
  while (pos < value.size() && static_cast<unsigned char>(value[pos]) <= ' ') ++pos;
  return value.substr(pos);
}

// Per-subcategory values without a limit of their own are cut to fit their slot.
std::string Slot(std::string_view value) { return std::string(value.substr(0, kValueSlotSize - 1)); }

std::string* CutValueField(SubcategoryConfig& block, ConfigKey key) {
  switch (key) {
    case ConfigKey::kSubCategory: return &block.subCategory;
    case ConfigKey::kColumnSeparator: return &block.columnSeparator;
    case ConfigKey::kZoomLevelText: return &block.zoomLevelText;
    case ConfigKey::kFontSize: return &block.fontSize;
    case ConfigKey::kFontType: return &block.fontType;
    case ConfigKey::kFontColour: return &block.fontColour;
    case ConfigKey::kOutlineColour: return &block.outlineColour;
    case ConfigKey::kZoomLevelBitmap: return &block.zoomLevelBitmap;
    case ConfigKey::kSentryDistance: return &block.sentryDistance;
    case ConfigKey::kIncludeComments: return &block.includeComments;
    default: return nullptr;
  }
}

std::string* LimitedValueField(SubcategoryConfig& block, ConfigKey key) {
  switch (key) {
    case ConfigKey::kAscFile: return &block.ascFile;
    case ConfigKey::kFontName: return &block.fontName;
    case ConfigKey::kBitmapFile: return &block.bitmapFile;
    case ConfigKey::kWavFile: return &block.wavFile;
    default: return nullptr;
  }
}

// Stores one per-subcategory value; "" or the error text when it does not fit.
std::string StoreBlockValue(SubcategoryConfig& block, ConfigKey key, std::string_view value, int lineNumber) {
  if (key == ConfigKey::kSubGroup) {
    if (value.size() >= static_cast<size_t>(kMainGroupBufferSize))
      return StringTooLong(lineNumber, kMainGroupBufferSize);
    block.subGroup = value;
    return {};
  }
  if (key == ConfigKey::kWavFile) value = SkipBlanksAndControls(value);
  if (std::string* field = LimitedValueField(block, key)) {
    if (value.size() >= static_cast<size_t>(kValueSlotSize)) return StringTooLong(lineNumber, kValueSlotSize);
    *field = value;
  } else if (std::string* cut = CutValueField(block, key)) {
    *cut = Slot(value);
  }
  return {};
}

void SetDefault(std::string& value, std::string_view defaultValue) {
  if (value.empty()) value = defaultValue;
}

int32_t DecodeColourReporting(const std::string& value, std::string& messages, int& errors) {
  int32_t colour = 0;
  if (!DecodeColour(value, &colour)) {
    char text[kMessageBufferSize];
    std::snprintf(text, sizeof text, "# Can't decode the colour '%s', Black is used instead. #\n", value.c_str());
    messages += text;
    ++errors;
  }
  return colour;
}

// The defaults pass; returns the number of configuration errors, their messages in `messages`.
int DeriveAll(ConverterConfig& config, std::string& messages) {
  int errors = 0;
  for (SubcategoryConfig& block : config.subcategories) {
    SetDefault(block.subCategory, "0");
    SetDefault(block.columnSeparator, ",");
    SetDefault(block.zoomLevelText, "6");
    SetDefault(block.fontName, "Tahoma");
    SetDefault(block.fontSize, "8");
    SetDefault(block.fontType, "0x108");
    SetDefault(block.fontColour, "Black");
    SetDefault(block.outlineColour, "White");
    SetDefault(block.zoomLevelBitmap, "6");
    SetDefault(block.includeComments, config.includeComments != 0 ? "1" : "0");

    block.categoryNumber = CategoryNumberFromValue(block.subCategory);
    block.separator = SeparatorFromValue(block.columnSeparator);
    block.textZoomCode = ZoomCodeFromValue(block.zoomLevelText);
    block.bitmapZoomCode = ZoomCodeFromValue(block.zoomLevelBitmap);
    block.fontSizeCode = FontSizeCodeFromValue(block.fontSize);
    block.fontTypeCode = FontTypeFromValue(block.fontType);
    block.textColourCode = DecodeColourReporting(block.fontColour, messages, errors);
    block.outlineColourCode = DecodeColourReporting(block.outlineColour, messages, errors);
    block.includeTexts = platform::ReadLeadingInt(block.includeComments, platform::kConfigNumbers) != 0;
  }
  return errors;
}

}  // namespace

void ReserveBlocks(std::vector<SubcategoryConfig>& blocks, int count) {
  blocks.clear();
  blocks.resize(static_cast<size_t>(count));
}

std::string ReadLogSettings(const ConfigFile& file, ConverterConfig& config) {
  int lineNumber = 0;
  for (const ConfigFile::Line& line : file.Lines()) {
    ++lineNumber;
    switch (line.key) {
      case ConfigKey::kLogFile:
        if (line.unrepresentable) return NotWindows1252(lineNumber);
        if (TooLong(line.value, kPathBufferSize)) {
          char text[kMessageBufferSize];
          std::snprintf(text, sizeof text, "### String is too long, max. allowed: %d. ###\n", kPathBufferSize - 1);
          return text;
        }
        config.logFile = line.value;
        break;
      case ConfigKey::kLogLevel: config.logLevel = LogLevelFromValue(line.value); break;
      case ConfigKey::kWaitConfirm:
        config.waitConfirm = platform::ReadLeadingInt(line.value, platform::kConfigNumbers);
        config.waitConfirmSet = true;
        break;
      default: break;
    }
  }
  return {};
}

bool OpenConfiguredLog(ConverterConfig& config, RunLog& log) {
  if (config.logFile.empty()) return true;
  if (log.OpenFile(ConverterPath(config.logFile))) return true;
  log.ConsolePrintf("### Can't open the logfile '%s'. Reason: %s. ###\n", config.logFile.c_str(),
                    ErrnoText(errno).c_str());
  config.logFile.clear();
  return false;
}

std::string ReadGlobalSettings(const ConfigFile& file, ConverterConfig& config) {
  int lineNumber = 0;
  for (const ConfigFile::Line& line : file.Lines()) {
    ++lineNumber;
    if (line.key != ConfigKey::kNone && line.unrepresentable) return NotWindows1252(lineNumber);
    const std::string& value = line.value;
    switch (line.key) {
      case ConfigKey::kDestinationDirectory:
        if (TooLong(value, kPathBufferSize)) return StringTooLong(lineNumber, kPathBufferSize);
        config.destinationDirectory = value;
        // File names are appended to it directly.
        if (!value.empty() && !EndsWithSeparator(value)) config.destinationDirectory += '\\';
        break;
      case ConfigKey::kWaypostPath:
        if (TooLong(value, kPathBufferSize)) return StringTooLong(lineNumber, kPathBufferSize);
        config.waypostPath = value;
        if (EndsWithSeparator(value)) config.waypostPath.pop_back();
        break;
      case ConfigKey::kMainGroup:
        if (TooLong(value, kMainGroupBufferSize)) return StringTooLong(lineNumber, kMainGroupBufferSize);
        config.mainGroup = value;
        break;
      case ConfigKey::kMapRegion:
        if (TooLong(value, kValueSlotSize)) return StringTooLong(lineNumber, kValueSlotSize);
        config.mapRegionText = value;
        config.region = RegionFromValue(value);
        break;
      case ConfigKey::kIncludeComments:
        config.includeComments = platform::ReadLeadingInt(value, platform::kConfigNumbers);
        break;
      case ConfigKey::kTargetSystem: MatchTargetSystem(value, &config.target); break;
      default: break;
    }
  }
  if (TargetSystemName(config.target).empty()) config.target = TargetSystem::kNavigonOem;
  return {};
}

std::string CountSubcategories(const ConfigFile& file, ConverterConfig& config, RunLog* echo, BlockReserver reserve) {
  int count = 0;
  int lineNumber = 0;
  for (const ConfigFile::Line& line : file.Lines()) {
    Echo(echo, config, ++lineNumber, line);
    if (line.key == ConfigKey::kSubGroup && ++count > kMaxSubcategories) return TooManySubcategories(lineNumber, count);
  }
  try {
    reserve(config.subcategories, count);
  } catch (const std::bad_alloc&) {
    config.subcategories.clear();
    char text[kMessageBufferSize];
    std::snprintf(text, sizeof text, "### Not enough memory for %d subcategories.###\n", count);
    return text;
  }
  return {};
}

std::string ReadSubcategoryValues(const ConfigFile& file, ConverterConfig& config, RunLog* echo) {
  int count = 0;
  int lineNumber = 0;
  for (const ConfigFile::Line& line : file.Lines()) {
    Echo(echo, config, ++lineNumber, line);
    if (line.key == ConfigKey::kSubGroup && ++count > kMaxSubcategories) return TooManySubcategories(lineNumber, count);
    if (line.key == ConfigKey::kNone) continue;
    // Keys before the first SubGroup belong to the first block; a file without blocks has
    // nowhere to put them.
    const size_t block = count == 0 ? 0 : static_cast<size_t>(count - 1);
    if (block >= config.subcategories.size()) continue;
    std::string error = StoreBlockValue(config.subcategories[block], line.key, line.value, lineNumber);
    if (!error.empty()) return error;
  }
  return {};
}

int ReportCutLines(const ConfigFile& file, std::string& messages) {
  int cut = 0;
  int lineNumber = 0;
  for (const ConfigFile::Line& line : file.Lines()) {
    ++lineNumber;
    if (!line.cut) continue;
    char text[kMessageBufferSize];
    std::snprintf(text, sizeof text, "# Line %d: Line too long, max allowed %d characters, the rest is ignored. #\n",
                  lineNumber, static_cast<int>(kMaxConfigLineLength));
    messages += text;
    ++cut;
  }
  return cut;
}

void ApplyDefaultsAndDerive(ConverterConfig& config, RunLog* log, RunCounters* counters) {
  std::string messages;
  const int errors = DeriveAll(config, messages);
  if (log != nullptr) log->Write(messages);
  if (counters != nullptr) counters->configErrors += errors;
}

LoadedConfiguration LoadConfiguration(const std::string& linuxPath, bool applyDefaults) {
  LoadedConfiguration result;
  ConfigFile file;
  if (!ConfigFile::Load(linuxPath, file, &result.errnoValue)) {
    result.failedPass = ConfigPass::kOpen;
    return result;
  }
  result.opened = true;

  ConverterConfig& config = result.config;
  const auto failed = [&result](ConfigPass pass, std::string text) {
    if (text.empty()) return false;
    result.failedPass = pass;
    result.errorText = std::move(text);
    return true;
  };
  if (failed(ConfigPass::kLogSettings, ReadLogSettings(file, config))) return result;
  if (failed(ConfigPass::kGlobalSettings, ReadGlobalSettings(file, config))) return result;
  if (failed(ConfigPass::kCounting, CountSubcategories(file, config, nullptr))) return result;
  if (failed(ConfigPass::kValues, ReadSubcategoryValues(file, config, nullptr))) return result;
  result.configErrors = ReportCutLines(file, result.messages);
  if (applyDefaults) result.configErrors += DeriveAll(config, result.messages);
  return result;
}

}  // namespace converter
