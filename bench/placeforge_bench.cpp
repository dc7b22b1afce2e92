// The converter against the reference converter users reach for, on the same 1,000,000 POI lines
// in 10 lists, both run as whole programs in the same run: placeforge writes the .snt database and
// the six NavigonOEM files; GPSBabel reads the lines with its unicsv reader and writes unicsv. Also
// the NavigonOEM writers alone at growing POI counts, whose cost must grow linearly.

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "converter/common/converter_config.h"
#include "converter/common/parsed_poi.h"
#include "converter/common/run_log.h"
#include "converter/targets/navigon_oem_writer.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kLists = 10;
constexpr int kLinesPerList = 100'000;

struct Workspace {
  fs::path dir = fs::temp_directory_path() / ("placeforge_bench_" + std::to_string(::getpid()));
  std::vector<std::string> lists;
  fs::path config;
  size_t textBytes = 0;  // the descriptions of all lines, as the converter keeps them
  ~Workspace() { fs::remove_all(dir); }
};

// Lines as people keep them: coordinates, a quoted description, height and direction. Returns the
// bytes of the descriptions.
size_t WriteList(const fs::path& path, int list, std::mt19937& random) {
  std::uniform_real_distribution<double> lon(5.0, 15.0), lat(45.0, 55.0);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  size_t textBytes = 0;
  for (int i = 0; i < kLinesPerList; ++i) {
    char text[64];
    textBytes += static_cast<size_t>(std::snprintf(text, sizeof text, "Camera %d of list %d, 80 km/h", i, list));
    std::fprintf(f, "%.5f, %.5f, \"%s\", %d, %d\r\n", lon(random), lat(random), text, static_cast<int>(random() % 900),
                 static_cast<int>(random() % 360));
  }
  std::fclose(f);
  return textBytes;
}

Workspace& MakeFiles(Workspace* ws) {
  fs::create_directories(ws->dir);
  std::mt19937 random(7);
  std::ofstream config(ws->dir / "bench.txt");
  config << "TargetSystem = NavigonOEM\nMainGroup = Bench\nWaitConfirm = 0\n"
         << "DestinationDirectory = " << (ws->dir / "out").string() << "/\n"
         << "WaypostPath = " << (ws->dir / "out" / "Bench.snt").string() << "\n";
  std::ofstream bitmap(ws->dir / "symbol.bmp", std::ios::binary);
  const char header[14] = {'B', 'M', 30, 0, 0, 0};
  bitmap.write(header, sizeof header).write("0123456789abcdef", 16);
  for (int list = 0; list < kLists; ++list) {
    const fs::path path = ws->dir / ("list" + std::to_string(list) + ".asc");
    ws->textBytes += WriteList(path, list, random);
    ws->lists.push_back(path.string());
    config << "SubGroup = Group" << list << "\nSubCategory = " << 100 + list << "\nASCFile = " << path.string()
           << "\nBitmapFile = " << (ws->dir / "symbol.bmp").string() << "\nWAVFile = .Sound" << list
           << "\nSentryDistance = 400m\n";
  }
  ws->config = ws->dir / "bench.txt";
  return *ws;
}

// Made once per program run and removed at its end.
const Workspace& Files() {
  static Workspace workspace;
  static const Workspace& files = MakeFiles(&workspace);
  return files;
}

struct ChildRun {
  double seconds = 0;
  long maxRssKb = 0;
  int status = -1;
};

// Runs a program with its output thrown away; wall time and peak memory of the child.
ChildRun RunChild(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  ChildRun run;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    rusage usage{};
    ::wait4(pid, &run.status, 0, &usage);
    run.maxRssKb = usage.ru_maxrss;
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  posix_spawn_file_actions_destroy(&actions);
  return run;
}

void ReportChild(benchmark::State& state, const ChildRun& run) {
  if (run.status != 0) state.SkipWithError("the program failed");
  state.SetIterationTime(run.seconds);
  state.counters["POIs/s"] = benchmark::Counter(kLists * kLinesPerList / run.seconds);
  state.counters["peak_MB"] = static_cast<double>(run.maxRssKb) / 1024.0;
}

void BM_Placeforge(benchmark::State& state) {
  const Workspace& w = Files();
  for (auto _ : state) {
    const ChildRun run = RunChild({PLACEFORGE_PATH, "-k", w.config.string()});
    ReportChild(state, run);
    // What the POIs need: their records and their texts.
    const double poisMb = (static_cast<double>(sizeof(converter::ParsedPoi)) * kLists * kLinesPerList +
                           static_cast<double>(w.textBytes)) /
                          1048576.0;
    state.counters["peak_per_pois"] = static_cast<double>(run.maxRssKb) / 1024.0 / poisMb;
  }
}

void BM_GpsBabelUnicsv(benchmark::State& state) {
  const Workspace& w = Files();
  for (auto _ : state) {
    std::vector<std::string> args = {"gpsbabel", "-i", "unicsv,fields=lon+lat+name+alt+course"};
    for (const std::string& list : w.lists) {
      args.push_back("-f");
      args.push_back(list);
    }
    for (const char* a : {"-o", "unicsv", "-F"}) args.push_back(a);
    args.push_back((w.dir / "gpsbabel.csv").string());
    ReportChild(state, RunChild(args));
  }
}

std::vector<converter::ParsedPoi> MakePois(size_t count, converter::PoiTexts& texts) {
  std::vector<converter::ParsedPoi> pois(count);
  std::mt19937 random(3);
  for (size_t i = 0; i < count; ++i) {
    converter::ParsedPoi& p = pois[i];
    p.number = static_cast<int32_t>(i + 1);
    p.subcategory = static_cast<int32_t>(i % kLists);
    p.x100k = static_cast<int32_t>(500000 + i * 10);  // already sorted
    p.y100k = static_cast<int32_t>(4500000 + random() % 1000000);
    p.x = p.x100k / 100000.0;
    p.y = p.y100k / 100000.0;
    p.categoryNumber = static_cast<int16_t>(100 + p.subcategory);
    p.text = texts.Add("Camera " + std::to_string(i) + ", 80 km/h");
  }
  return pois;
}

void BM_NavigonOemWriters(benchmark::State& state) {
  const Workspace& w = Files();
  converter::ConverterConfig config;
  config.mainGroup = "Writers";
  config.destinationDirectory = (w.dir / "writers").string() + "/";
  fs::create_directories(w.dir / "writers");
  for (int i = 0; i < kLists; ++i) {
    converter::SubcategoryConfig sub;
    sub.subGroup = "Group" + std::to_string(i);
    sub.bitmapFile = (w.dir / "symbol.bmp").string();
    sub.fontName = "Tahoma";
    sub.fontSizeCode = 0xC130;
    config.subcategories.push_back(sub);
  }
  converter::PoiTexts texts;
  std::vector<converter::ParsedPoi> pois = MakePois(static_cast<size_t>(state.range(0)), texts);
  std::FILE* sink = std::fopen("/dev/null", "w");
  converter::RunLog log(sink);
  for (auto _ : state) {
    std::string producer;
    if (converter::WriteNavigonOem(config, pois, texts, log, &producer) != 0) state.SkipWithError("writer failed");
  }
  std::fclose(sink);
  state.SetComplexityN(state.range(0));
}

BENCHMARK(BM_Placeforge)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_GpsBabelUnicsv)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_NavigonOemWriters)
    ->RangeMultiplier(2)
    ->Range(100'000, 800'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace

int main(int argc, char** argv) {
  bench::RatioReporter reporter("Placeforge", "GpsBabelUnicsv", "POIs/s", 10.0);
  return bench::RunWithRatio(argc, argv, reporter);
}
