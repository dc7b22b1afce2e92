#include "warner/display/popup_layout.h"

#include <algorithm>
#include <climits>
#include <optional>

#include "platform/files/files.h"
#include "platform/text/text.h"
#include "warner/core/settings/warner_settings.h"
#include "warner/gps/conversions.h"

namespace warner::display {
namespace {

constexpr int kMaxOpenSeconds = 0x7FFFFFFF / 1000;

constexpr const char* kCodeNames[] = {"PSNT", "TIME", "ANNO", "ANDI", "SPED", "HEAD", "COOR", "HGHT",
                                      "HDOP", "TMCS", "BATT", "DIDI", "DIRC", "TMPL", "UNDF"};

// The first `count` characters of a UTF-8 text, as a fixed wide-character buffer would keep them.
std::string FirstCharacters(std::string_view text, size_t count) {
  size_t end = 0;
  for (size_t kept = 0; end < text.size() && kept < count; ++kept) {
    ++end;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  }
  return std::string(text.substr(0, end));
}

uint32_t ToColour(std::string_view value) { return static_cast<uint32_t>(IniToInt(value)); }

// The keys of a window section, tried in this order; `only` limits a key to one field code.
struct LayoutKey {
  const char* key;
  void (*apply)(PopupLayout& layout, std::string_view value);
  FieldCode only = FieldCode::kNone;
  bool trim = true;
};

const LayoutKey kLayoutKeys[] = {
    {"PosX", [](PopupLayout& l, std::string_view v) { l.posX = IniToInt(v); }},
    {"PosY", [](PopupLayout& l, std::string_view v) { l.posY = IniToInt(v); }},
    {"SizeX", [](PopupLayout& l, std::string_view v) { l.sizeX = IniToInt(v); }},
    {"SizeY", [](PopupLayout& l, std::string_view v) { l.sizeY = IniToInt(v); }},
    {"WindBorder", [](PopupLayout& l, std::string_view v) { l.border = IniToInt(v) != 0; }},
    {"BackColour", [](PopupLayout& l, std::string_view v) { l.backColour.fill(ToColour(v)); }},
    {"BackColour1", [](PopupLayout& l, std::string_view v) { l.backColour[0] = ToColour(v); }},
    {"BackColour2", [](PopupLayout& l, std::string_view v) { l.backColour[1] = ToColour(v); }},
    {"BackColour3", [](PopupLayout& l, std::string_view v) { l.backColour[2] = ToColour(v); }},
    {"BackColour4", [](PopupLayout& l, std::string_view v) { l.backColour[3] = ToColour(v); }},
    {"NoSatFixColour", [](PopupLayout& l, std::string_view v) { l.backColour[1] = ToColour(v); }},
    {"SatFixColour", [](PopupLayout& l, std::string_view v) { l.backColour[2] = ToColour(v); }},
    {"TextColour", [](PopupLayout& l, std::string_view v) { l.textColour.fill(ToColour(v)); }},
    {"TextColour1", [](PopupLayout& l, std::string_view v) { l.textColour[0] = ToColour(v); }},
    {"TextColour2", [](PopupLayout& l, std::string_view v) { l.textColour[1] = ToColour(v); }},
    {"TextColour3", [](PopupLayout& l, std::string_view v) { l.textColour[2] = ToColour(v); }},
    {"TextColour4", [](PopupLayout& l, std::string_view v) { l.textColour[3] = ToColour(v); }},
    {"FontSizeX", [](PopupLayout& l, std::string_view v) { l.fontSizeX = IniToInt(v); }},
    {"FontSizeY", [](PopupLayout& l, std::string_view v) { l.fontSizeY = IniToInt(v); }},
    {"FontWeight", [](PopupLayout& l, std::string_view v) { l.fontWeight = IniToInt(v); }},
    {"FontAngle", [](PopupLayout& l, std::string_view v) { l.fontAngle = IniToInt(v); }},
    {"FontOrient", [](PopupLayout& l, std::string_view v) { l.fontOrient = IniToInt(v); }},
    {"FontName", [](PopupLayout& l, std::string_view v) { l.fontName = FirstCharacters(v, kMaxFontNameLength); }},
    {"Dimension", [](PopupLayout& l, std::string_view v) { l.dimension = FirstCharacters(v, kMaxDimensionLength); }},
    {"DimensionText",
     [](PopupLayout& l, std::string_view v) { l.dimensionText = FirstCharacters(v, kMaxDimensionLength); },
     FieldCode::kNone, false},
    {"TextAlign", [](PopupLayout& l, std::string_view v) { l.textAlign = IniToInt(v); }},
    {"FormatString", [](PopupLayout& l, std::string_view v) { l.formatString = FirstCharacters(v, kMaxFormatLength); }},
    {"PenColour", [](PopupLayout& l, std::string_view v) { l.penColour = ToColour(v); }},
    {"PenWidth", [](PopupLayout& l, std::string_view v) { l.penWidth = IniToInt(v); }},
    {"TimeZone",
     [](PopupLayout& l, std::string_view v) { l.localTime = platform::ToUpperAscii(v).find('L') != std::string::npos; },
     FieldCode::kTIME},
    {"TimeCorrSecs", [](PopupLayout& l, std::string_view v) { l.timeCorrSecs = IniToInt(v); }, FieldCode::kTIME},
    {"HeightCorrection", [](PopupLayout& l, std::string_view v) { l.heightCorrection = IniToInt(v) != 0; },
     FieldCode::kHGHT},
    {"HeightCorrMeters", [](PopupLayout& l, std::string_view v) { l.heightCorrMeters = IniToDouble(v); },
     FieldCode::kHGHT},
    {"ShowRadioStation", [](PopupLayout& l, std::string_view v) { l.showRadioStation = IniToInt(v) != 0; },
     FieldCode::kTMCS},
};

void ApplyKeyLine(PopupLayout& layout, std::string_view line) {
  for (const LayoutKey& rule : kLayoutKeys) {
    if (rule.only != FieldCode::kNone && rule.only != layout.code) continue;
    if (std::optional<std::string> value = MatchIniKey(line, rule.key, rule.trim)) {
      rule.apply(layout, *value);
      return;
    }
  }
}

int NormalisedFontWeight(int weight) {
  if (weight == 0) return 400;
  if (weight == 1) return 700;
  if (weight > 0) return 900;
  return weight == INT_MIN ? INT_MAX : -weight;
}

void FinishLayout(PopupLayout& layout) {
  layout.fontWeight = NormalisedFontWeight(layout.fontWeight);
  layout.dimension = platform::ToLowerAscii(layout.dimension);
  layout.unitCode = PopupLayoutUnitCode(layout.code, layout.dimension);
}

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// A section line: its field code, or kNone with the name of the user's own.
struct SectionHead {
  FieldCode code = FieldCode::kNone;
  std::string name;
};

SectionHead ReadSectionHead(std::string_view line) {
  for (size_t i = 0; i < std::size(kCodeNames); ++i) {
    if (Contains(line, std::string(kCodeNames[i]) + "]")) return {static_cast<FieldCode>(i), kCodeNames[i]};
  }
  std::string_view name = line.substr(line.find('[') + 1);
  name = name.substr(0, name.find(']'));
  return {FieldCode::kNone, FirstCharacters(name, kMaxNameLength)};
}

std::string_view WithoutComment(std::string_view line) {
  line = line.substr(0, line.find("//"));
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  return line;
}

// Collects the sections as the lines arrive.
class LayoutCollector {
 public:
  explicit LayoutCollector(int announceOpenTime) : announceOpenTime_(announceOpenTime) {}

  void Line(std::string_view line) {
    const std::string_view text = WithoutComment(line);
    if (text.starts_with('[')) {
      StartSection(ReadSectionHead(text));
    } else if (current_) {
      ApplyKeyLine(*current_, line);
    }
  }

  std::vector<PopupLayout> Finish() {
    EndSection();
    return std::move(layouts_);
  }

 private:
  void StartSection(const SectionHead& head) {
    EndSection();
    if (platform::EqualsNoCase(head.name, "GENERAL") || layouts_.size() >= kMaxLayouts) return;
    current_ = DefaultLayout(head.code, head.name, announceOpenTime_);
  }

  void EndSection() {
    if (!current_) return;
    FinishLayout(*current_);
    layouts_.push_back(std::move(*current_));
    current_.reset();
  }

  int announceOpenTime_;
  std::optional<PopupLayout> current_;  // none in GENERAL, before the first section, after the last
  std::vector<PopupLayout> layouts_;
};

}  // namespace

const char* FieldCodeName(FieldCode code) {
  const auto index = static_cast<size_t>(code);
  return index < std::size(kCodeNames) ? kCodeNames[index] : "";
}

int PopupLayoutUnitCode(FieldCode code, std::string_view lowerDimension) {
  switch (code) {
    case FieldCode::kTIME:
      if (Contains(lowerDimension, "hmss")) return 3;
      if (Contains(lowerDimension, "hms")) return 2;
      if (Contains(lowerDimension, "hm")) return 1;
      return Contains(lowerDimension, "h") ? 0 : 2;
    case FieldCode::kANDI:
    case FieldCode::kHGHT:
    case FieldCode::kDIDI: return gps::ParseDistanceUnit(lowerDimension);
    case FieldCode::kSPED: return gps::ParseSpeedUnit(lowerDimension);
    case FieldCode::kHEAD:
    case FieldCode::kDIRC: return Contains(lowerDimension, "gm") ? 1 : 0;
    case FieldCode::kCOOR: return Contains(lowerDimension, "gms") ? 1 : 0;
    default: return 0;
  }
}

PopupLayout DefaultLayout(FieldCode code, std::string_view name, int announceOpenTime) {
  PopupLayout layout;
  layout.name = FirstCharacters(name, kMaxNameLength);
  layout.code = code;
  const auto units = [&layout](const char* dimension, const char* text) {
    layout.dimension = dimension;
    layout.dimensionText = text;
  };
  switch (code) {
    case FieldCode::kPSNT: layout.dimensionText = ":"; break;
    case FieldCode::kANDI: units("m", "m"); [[fallthrough]];
    case FieldCode::kANNO:
      // The settings correct a value below 1 already; a layout read on its own must not show an
      // announcement for no time at all. Ticks compare up to 0x7FFFFFFF ms apart, so a longer time
      // would never end.
      layout.openTime =
          static_cast<uint32_t>(announceOpenTime < 1 ? 10 : std::min(announceOpenTime, kMaxOpenSeconds)) * 1000u;
      break;
    case FieldCode::kSPED: units("kmph", "kmh"); break;
    case FieldCode::kHEAD:
    case FieldCode::kDIRC: units("dd", "\u00B0"); break;
    case FieldCode::kCOOR:
      units("dd", "\u00B0");
      layout.textAlign = kAlignMeasure | kAlignRight;
      break;
    case FieldCode::kHGHT:
    case FieldCode::kDIDI: units("m", "m"); break;
    case FieldCode::kHDOP: layout.dimensionText = "~"; break;
    case FieldCode::kTMCS:
      layout.dimensionText = ":";
      layout.textAlign = kAlignMeasure;
      break;
    case FieldCode::kBATT:
      layout.dimensionText = "%";
      layout.backColour = {255, 0x00FFFF, 0x0B86B8, 0x00A018};
      layout.textColour = {0, 0, 0xFFFFFF, 0xFFFFFF};
      break;
    default: break;
  }
  return layout;
}

std::vector<PopupLayout> ParseWindowLayouts(std::string_view fileText, int announceOpenTime) {
  if (fileText.starts_with("\xEF\xBB\xBF")) fileText.remove_prefix(3);
  const std::string text = platform::FileTextToUtf8(fileText);
  LayoutCollector collector(announceOpenTime);
  IniLines lines(text);
  std::string_view line;
  while (lines.Next(line)) collector.Line(line);
  return collector.Finish();
}

int ReadWindowLayouts(std::string_view path, int announceOpenTime, std::vector<PopupLayout>& layouts,
                      platform::Reporter& reporter) {
  const platform::FileBytes file = platform::ReadFileBytes(path);
  if (file.error != 0) {
    reporter.ErrorLastError("Can't open %s.\n", std::string(path).c_str());
    return -1;
  }
  layouts = ParseWindowLayouts(file.bytes, announceOpenTime);
  return 0;
}

}  // namespace warner::display
