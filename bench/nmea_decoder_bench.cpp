// Framing + parsing throughput of the NMEA decoder on a 50 MB receiver log, against a baseline
// that only splits the same bytes into lines (what any line-based reader must do at least).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

#include "bench/ratio_reporter.h"
#include "platform/sync/critical_section.h"
#include "warner/gps/nmea_decoder.h"
#include "warner/gps/tests/nmea_test_util.h"

namespace {

using gps::testing::Nmea;

// A drive log: each second GGA, RMC, VTG and a GSV group, now and then junk from a noisy line.
std::string MakeLog(size_t bytes) {
  std::mt19937 random(42);
  std::string log;
  log.reserve(bytes + 1024);
  char body[160];
  for (int second = 0; log.size() < bytes; ++second) {
    const int h = second / 3600 % 24, m = second / 60 % 60, s = second % 60;
    const double lat = 4807.038 + second * 0.001, lon = 1131.0 + second * 0.0013;
    std::snprintf(body, sizeof body, "GPGGA,%02d%02d%02d.00,%.4f,N,%09.4f,E,1,08,0.9,545.4,M,46.9,M,,", h, m, s, lat,
                  lon);
    log += Nmea(body);
    std::snprintf(body, sizeof body, "GPRMC,%02d%02d%02d.00,A,%.4f,N,%09.4f,E,022.4,084.4,230394,003.1,W", h, m, s, lat,
                  lon);
    log += Nmea(body);
    log += Nmea("GPVTG,084.4,T,081.3,M,022.4,N,041.5,K");
    log += Nmea("GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45");
    log += Nmea("GPGSV,2,2,08,15,40,083,46,17,17,308,41,22,07,344,39,24,22,228,45");
    if (random() % 10 == 0) {
      for (int i = 0, n = static_cast<int>(random() % 40); i < n; ++i) log += static_cast<char>(random() % 256);
      log += "\r\n";
    }
  }
  return log;
}

const std::string& Log() {
  static const std::string log = MakeLog(50u << 20);
  return log;
}

void BM_LineSplitterBaseline(benchmark::State& state) {
  const std::string& log = Log();
  for (auto _ : state) {
    std::string line;
    size_t lines = 0;
    for (const char c : log) {
      line += c;
      if (c == '\n') {
        benchmark::DoNotOptimize(line.data());
        ++lines;
        line.clear();
      }
    }
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * log.size()));
}

void BM_NmeaDecoderFramingAndParsing(benchmark::State& state) {
  const std::string& log = Log();
  const auto* bytes = reinterpret_cast<const uint8_t*>(log.data());
  platform::CriticalSection lock;
  gps::NmeaDecoder decoder(lock);
  decoder.SetSettings({0, 1});
  for (auto _ : state) {
    decoder.ResetGpsFix();
    size_t fixes = 0;
    for (size_t at = 0; at < log.size();) {
      at += decoder.FeedInput({bytes + at, log.size() - at});
      for (int next; (next = decoder.NextSentence()) != gps::kFrameInputUsedUp;) {
        if (next == gps::kFrameSentence && decoder.ParseSentence() == gps::kParseFix) ++fixes;
      }
    }
    benchmark::DoNotOptimize(fixes);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * log.size()));
}

BENCHMARK(BM_LineSplitterBaseline)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_NmeaDecoderFramingAndParsing)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  bench::RatioReporter reporter("NmeaDecoder", "LineSplitterBaseline", "bytes_per_second", 0.25);
  return bench::RunWithRatio(argc, argv, reporter);
}
