#pragma once
// Console output of Google Benchmark plus one line that compares a subject with its baseline
// of the same run by a rate counter, against the target the project set for it.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter(std::string subject, std::string baseline, std::string counter, double target)
      : subject_(std::move(subject)), baseline_(std::move(baseline)), counter_(std::move(counter)), target_(target) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto rate = run.counters.find(counter_);
      if (rate == run.counters.end()) continue;
      const std::string name = run.benchmark_name();
      if (name.find(subject_) != std::string::npos) subjectRate_ = rate->second.value;
      if (name.find(baseline_) != std::string::npos) baselineRate_ = rate->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    if (subjectRate_ <= 0 || baselineRate_ <= 0) return;
    const double ratio = subjectRate_ / baselineRate_;
    std::printf("%s %.4g %s, %s %.4g %s: %.2f times the baseline (target >= %.2f): %s\n", subject_.c_str(),
                subjectRate_, counter_.c_str(), baseline_.c_str(), baselineRate_, counter_.c_str(), ratio, target_,
                ratio >= target_ ? "met" : "NOT met");
  }

 private:
  std::string subject_, baseline_, counter_;
  double target_;
  double subjectRate_ = 0, baselineRate_ = 0;
};

// main() of a benchmark program that reports with a RatioReporter.
inline int RunWithRatio(int argc, char** argv, RatioReporter& reporter) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace bench
