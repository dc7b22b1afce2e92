#pragma once
// A temporary destination folder, configurations and POIs built in a few lines, small bitmap files,
// the run's log captured as text, and file contents as hex for golden-byte comparisons.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "converter/common/converter_config.h"
#include "converter/common/parsed_poi.h"
#include "converter/common/run_log.h"

namespace converter::testing {

namespace fs = std::filesystem;

inline std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// "52 49 44 4c" for the bytes RIDL.
inline std::string Hex(const std::string& bytes) {
  std::string hex;
  char piece[4];
  for (const unsigned char c : bytes) {
    std::snprintf(piece, sizeof piece, hex.empty() ? "%02x" : " %02x", c);
    hex += piece;
  }
  return hex;
}

// A bitmap file: the 14-byte file header whose size field announces `announced` bytes, then the
// payload.
inline std::string Bitmap(uint32_t announced, const std::string& payload) {
  std::string bytes = "BM";
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>(announced >> (8 * i));
  bytes += std::string(8, '\0');
  return bytes + payload;
}

inline SubcategoryConfig Sub(const std::string& name, int16_t categoryNumber) {
  SubcategoryConfig sub;
  sub.subGroup = name;
  sub.categoryNumber = categoryNumber;
  sub.fontName = "Tahoma";
  sub.fontSizeCode = 0xC130;  // FontSize 8
  sub.fontTypeCode = 0x108;
  sub.textColourCode = 0x000000;
  sub.outlineColourCode = 0xFFFFFF;
  sub.textZoomCode = 16800;  // zoom level 6
  sub.bitmapZoomCode = 16800;
  return sub;
}

// Numbers the POIs 1..n in their array order, as the reader does after sorting.
inline void Number(std::vector<ParsedPoi>& pois) {
  for (size_t i = 0; i < pois.size(); ++i) pois[i].number = static_cast<int32_t>(i + 1);
}

class TargetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("converter_targets_" + std::to_string(::getpid()) + "_" + info->test_suite_name() + "_" + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    console_ = std::tmpfile();
    log_ = std::make_unique<RunLog>(console_);
    config_.destinationDirectory = dir_.string() + "\\";
    config_.mainGroup = "Cams";
  }
  void TearDown() override {
    log_.reset();
    std::fclose(console_);
    fs::remove_all(dir_);
  }

  // Everything the run's log has received so far.
  std::string LogText() {
    std::fflush(console_);
    std::string text;
    std::rewind(console_);
    char piece[4096];
    size_t got;
    while ((got = std::fread(piece, 1, sizeof piece, console_)) > 0) text.append(piece, got);
    return text;
  }

  // A bitmap file in the test folder; returns its path in the configured form.
  std::string MakeBitmap(const std::string& name, const std::string& bytes) {
    WriteBytes(dir_ / name, bytes);
    return (dir_ / name).string();
  }

  std::string Out(const std::string& name) { return ReadBytes(dir_ / name); }

  // A POI whose text goes into texts_.
  ParsedPoi Poi(int subcategory, double x, double y, const std::string& text, int16_t categoryNumber = 0) {
    ParsedPoi poi;
    poi.subcategory = subcategory;
    poi.x = x;
    poi.y = y;
    poi.x100k = ToHundredThousandths(x);
    poi.y100k = ToHundredThousandths(y);
    poi.categoryNumber = categoryNumber;
    poi.text = texts_.Add(text);
    return poi;
  }

  fs::path dir_;
  std::FILE* console_ = nullptr;
  std::unique_ptr<RunLog> log_;
  ConverterConfig config_;
  PoiTexts texts_;
};

}  // namespace converter::testing
