#pragma once
// The converter's configuration as read from its configuration file: the global settings, and per
// subcategory (one `SubGroup` block each) the values as written and the values derived from them.

#include <cstdint>
#include <string>
#include <vector>

namespace converter {

enum class TargetSystem { kSntOnly, kNavigonOem, kMapAndGuideCsv, kDestinatorCsv };

// Region codes written into the NavigonOEM index.
enum class MapRegion : uint8_t { kAmerica = 1, kEurope = 2 };

inline constexpr int kMaxSubcategories = 1000;

struct SubcategoryConfig {
  // Values as they stand in the file (after the defaults are applied). Texts are Windows-1252 bytes.
  std::string subGroup;  // at most 31 characters
  std::string subCategory;
  std::string ascFile;
  std::string columnSeparator;
  std::string zoomLevelText;
  std::string fontName;
  std::string fontSize;
  std::string fontType;
  std::string fontColour;
  std::string outlineColour;
  std::string bitmapFile;
  std::string zoomLevelBitmap;
  std::string wavFile;
  std::string sentryDistance;
  std::string includeComments;

  // Derived values.
  int16_t categoryNumber = 0;
  char separator = ',';
  uint16_t textZoomCode = 0;
  uint16_t bitmapZoomCode = 0;
  uint16_t fontSizeCode = 0;
  int16_t fontTypeCode = 0;
  int32_t textColourCode = 0;  // red in the low byte, then green, then blue
  int32_t outlineColourCode = 0;
  bool includeTexts = true;
};

struct ConverterConfig {
  // Log settings.
  std::string logFile;
  int logLevel = 0;
  bool waitConfirmSet = false;  // a WaitConfirm line overrides the command line
  int waitConfirm = 1;

  // Global settings.
  std::string destinationDirectory;  // ends with "\" once read
  std::string waypostPath;           // one trailing "\" removed once read
  std::string mainGroup;
  std::string mapRegionText;
  int includeComments = 1;
  TargetSystem target = TargetSystem::kNavigonOem;
  MapRegion region = MapRegion::kEurope;

  std::vector<SubcategoryConfig> subcategories;
};

}  // namespace converter
