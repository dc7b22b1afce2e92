// The surroundings search on ASC lists of 10 thousand to 1 million lines spread over a continent,
// with one city's points (the same in every list) around the position, against the row-by-row
// insertion that reads each shown distance back, on the 10 thousand list. Targets: a 1 million
// line list searched in about a second, and the search at least 10 times the insertion's rate.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>

#include "bench/ratio_reporter.h"
#include "warner/gps/conversions.h"
#include "warner/search/search_surround.h"
#include "warner/search/tests/literal_insertion.h"

namespace {

constexpr double kLongitude = 11.5, kLatitude = 48.1;
constexpr int kCityPoints = 3000;  // within about 20 km of the position
constexpr double kRadiusKm = 25;

// The list of `count` lines, built once per size: the city first (same seed, same points), then
// the rest spread over 40 by 24 degrees.
const std::string& ListOf(int count) {
  static std::map<int, std::string> lists;
  std::string& list = lists[count];
  if (!list.empty()) return list;
  std::mt19937 city(1), land(2);
  std::uniform_real_distribution<double> near(-0.2, 0.2), longitude(-10, 30), latitude(36, 60);
  char line[128];
  for (int i = 0; i < count; ++i) {
    const bool inCity = i < kCityPoints;
    const double x = inCity ? kLongitude + near(city) : longitude(land);
    const double y = inCity ? kLatitude + near(city) : latitude(land);
    std::snprintf(line, sizeof line, "%.5f, %.5f, \"Point %d, 100 km/h\", 0, %d\r\n", x, y, i, i % 360);
    list += line;
  }
  return list;
}

std::FILE* OpenList(const std::string& list) { return fmemopen(const_cast<char*>(list.data()), list.size(), "rb"); }

void BM_SearchSurround(benchmark::State& state) {
  const std::string& list = ListOf(static_cast<int>(state.range(0)));
  size_t rows = 0;
  for (auto _ : state) {
    std::FILE* file = OpenList(list);
    warner::AscLineReader reader(file);
    rows = warner::FindSurroundRows(reader, {kLongitude, kLatitude}, kRadiusKm).size();
    std::fclose(file);
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["lines_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)), benchmark::Counter::kIsRate);
}

// The hits in reading order, then each inserted before the first row whose shown distance is greater.
void BM_LiteralInsertion(benchmark::State& state) {
  const std::string& list = ListOf(static_cast<int>(state.range(0)));
  size_t rows = 0;
  for (auto _ : state) {
    std::FILE* file = OpenList(list);
    warner::AscLineReader reader(file);
    std::vector<warner::SurroundRow> hits;
    warner::AscLine line;
    while (warner::ReadAscLine(reader, line) == 0) {
      const double km = gps::GreatCircleDistance(kLongitude, kLatitude, line.longitude, line.latitude) * 0.001;
      if (!(km <= kRadiusKm)) continue;
      char distance[32], direction[32];
      std::snprintf(distance, sizeof distance, "%.1f", km);
      std::snprintf(direction, sizeof direction, "%.0f\u00B0",
                    gps::InitialBearing(kLongitude, kLatitude, line.longitude, line.latitude));
      hits.push_back({distance, direction, line.description, line.longitudeText, line.latitudeText});
    }
    rows = warner::test::InsertRowsLiterally(hits).size();
    std::fclose(file);
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["lines_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_SearchSurround)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_LiteralInsertion)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
  // Compared at the same list size: the 10 thousand lines of both.
  bench::RatioReporter reporter("SearchSurround/10000/", "LiteralInsertion/10000/", "lines_per_second", 10.0);
  return bench::RunWithRatio(argc, argv, reporter);
}
