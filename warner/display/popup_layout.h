#pragma once
// The pop-up window layouts: one small always-on-top window per section of the layout file
// ("Waypost.ini"), with its place, size, colours, font, unit and the field it shows.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/reports/reporter.h"

namespace warner::display {

// What a window shows, by the four-letter code of its section name. kNone: a window under a name
// of the user's own, created with its layout and never filled.
enum class FieldCode : int {
  kPSNT,
  kTIME,
  kANNO,
  kANDI,
  kSPED,
  kHEAD,
  kCOOR,
  kHGHT,
  kHDOP,
  kTMCS,
  kBATT,
  kDIDI,
  kDIRC,
  kTMPL,
  kUNDF,
  kNone,
};
// The codes that have a place in the code -> window table (kPSNT..kTMPL).
inline constexpr size_t kTableCodeCount = 14;

const char* FieldCodeName(FieldCode code);  // "PSNT"; "" for kNone

inline constexpr size_t kMaxLayouts = 25;
inline constexpr size_t kMaxNameLength = 10;
inline constexpr size_t kMaxFontNameLength = 39;
inline constexpr size_t kMaxFormatLength = 19;
inline constexpr size_t kMaxDimensionLength = 10;

// Bits of TextAlign, the text-drawing flags the layout file names.
enum TextAlignBits : int {
  kAlignLeft = 0x0,
  kAlignCentre = 0x1,
  kAlignRight = 0x2,
  kAlignVCentre = 0x4,
  kAlignBottom = 0x8,
  kAlignWordBreak = 0x10,
  kAlignSingleLine = 0x20,
  kAlignMeasure = 0x400,  // two lines become one when they do not fit the height
};

// Colours are 0x00BBGGRR.
struct PopupLayout {
  std::string name;  // the section name, at most kMaxNameLength characters
  FieldCode code = FieldCode::kNone;
  bool border = false;
  int posX = 90;
  int posY = 25;
  int sizeX = 60;
  int sizeY = 15;
  std::array<uint32_t, 4> backColour{255, 255, 255, 255};
  std::array<uint32_t, 4> textColour{0, 0, 0, 0};
  int fontSizeX = 8;
  int fontSizeY = 18;
  int fontWeight = 0;  // 0 normal (400), 1 bold (700), see ReadWindowLayouts
  int fontAngle = 0;   // escapement, tenths of a degree
  int fontOrient = 0;
  std::string fontName = "Tahoma";
  std::string formatString = "%.2f";  // kept; no field format depends on it
  std::string dimension;              // lower-cased at the section's end
  std::string dimensionText;          // appended to values
  int unitCode = 0;                   // from dimension, by code (see PopupLayoutUnitCode)
  int textAlign = kAlignRight;
  uint32_t penColour = 0xFFFFFF;
  int penWidth = 0;
  bool localTime = false;         // TIME
  int timeCorrSecs = 0;           // TIME
  bool heightCorrection = false;  // HGHT
  double heightCorrMeters = 0.0;  // HGHT
  bool showRadioStation = false;  // TMCS
  uint32_t openTime = 1000;       // ms: refresh period; for ANNO and ANDI how long an announcement shows
};

// The unit code of a lower-cased Dimension for a field code.
int PopupLayoutUnitCode(FieldCode code, std::string_view lowerDimension);

// A layout with the defaults and the code's own defaults; announceOpenTime in seconds.
PopupLayout DefaultLayout(FieldCode code, std::string_view name, int announceOpenTime);

// The layouts of a layout file's text (UTF-8 or Windows-1252), in file order, at most
// kMaxLayouts; further sections are skipped with their keys. Never fails: lines it cannot use are
// ignored.
std::vector<PopupLayout> ParseWindowLayouts(std::string_view fileText, int announceOpenTime);

// Reads the layout file at `path` (a program path, platform/paths). 0, or -1 after "Can't open
// %s.\n" when the file cannot be read; `layouts` is replaced only on success.
int ReadWindowLayouts(std::string_view path, int announceOpenTime, std::vector<PopupLayout>& layouts,
                      platform::Reporter& reporter);

}  // namespace warner::display
