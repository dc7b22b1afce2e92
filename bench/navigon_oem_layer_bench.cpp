// The six NavigonOEM files of one layer at 100 thousand and 1 million POIs, as a list of speed
// cameras gives them: one text for all, every tenth POI in a second subcategory whose texts are
// hidden (font size 0, so they share the blank name entry), a 1000-byte symbol for each. Shows
// whether writing a whole layer stays linear in the POIs and how long the largest lists take.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "converter/common/converter_config.h"
#include "converter/common/parsed_poi.h"
#include "converter/common/run_log.h"
#include "converter/targets/navigon_oem_writer.h"

namespace {

namespace fs = std::filesystem;

// The output folder and the symbol, removed at the end of the program.
struct Folder {
  fs::path dir = fs::temp_directory_path() / ("navigon_oem_layer_bench_" + std::to_string(::getpid()));
  Folder() { fs::create_directories(dir); }
  ~Folder() { fs::remove_all(dir); }
};

// A bitmap file: the 14-byte header announcing 1014 bytes, then 1000 payload bytes.
std::string WriteSymbol(const fs::path& path) {
  std::string bytes = "BM";
  for (const int shift : {0, 8, 16, 24}) bytes += static_cast<char>(1014 >> shift);
  bytes += std::string(8 + 1000, '\0');
  std::ofstream(path, std::ios::binary) << bytes;
  return path.string();
}

converter::SubcategoryConfig Subcategory(const std::string& name, int16_t number, uint16_t fontSizeCode,
                                         const std::string& symbol) {
  converter::SubcategoryConfig sub;
  sub.subGroup = name;
  sub.categoryNumber = number;
  sub.fontName = "Tahoma";
  sub.fontSizeCode = fontSizeCode;
  sub.fontTypeCode = 0x108;
  sub.outlineColourCode = 0xFFFFFF;
  sub.textZoomCode = 16800;
  sub.bitmapZoomCode = 16800;
  sub.bitmapFile = symbol;
  return sub;
}

void BM_NavigonOemLayer(benchmark::State& state) {
  static const Folder folder;
  converter::ConverterConfig config;
  config.destinationDirectory = folder.dir.string() + "/";
  config.mainGroup = "Cams";
  const std::string symbol = WriteSymbol(folder.dir / "cams.bmp");
  config.subcategories = {Subcategory("Cams", 7, 0xC130, symbol), Subcategory("Quiet", 8, 0xC000, symbol)};

  converter::PoiTexts texts;
  const converter::PoiText text = texts.Add("Speed camera 50 km/h, northbound");
  std::vector<converter::ParsedPoi> pois(static_cast<size_t>(state.range(0)));
  for (size_t i = 0; i < pois.size(); ++i) {
    pois[i].text = text;
    pois[i].number = static_cast<int32_t>(i + 1);
    pois[i].subcategory = static_cast<int32_t>(i % 10 == 0);
    pois[i].x100k = static_cast<int32_t>(i * 30);  // sorted, as the reader leaves them
    pois[i].y100k = static_cast<int32_t>(5000000 + i % 1000);
  }
  std::FILE* sink = std::fopen("/dev/null", "w");
  converter::RunLog log(sink);
  for (auto _ : state) {
    if (converter::WriteNavigonOem(config, pois, texts, log, nullptr) != 0) state.SkipWithError("writer failed");
  }
  std::fclose(sink);
  state.counters["POIs/s"] =
      benchmark::Counter(static_cast<double>(pois.size()), benchmark::Counter::kIsIterationInvariantRate);
  state.SetComplexityN(state.range(0));
}

BENCHMARK(BM_NavigonOemLayer)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
