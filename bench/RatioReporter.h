// A console reporter that, after the usual table, prints each measured
// benchmark's CPU time as a ratio to its baseline measured in the same run. Baselines
// are named "<group>/baseline/<arg>", candidates "<group>/<name>/<arg>".
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace kelo::bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      // CPU time: the machines are shared, and a preempted run would skew the ratio.
      times[run.benchmark_name()] = run.GetAdjustedCPUTime();
      order.push_back(run.benchmark_name());
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nRatios to the baseline of the same run:\n");
    for (const std::string& name : order) {
      std::string baseline;
      if (!baselineOf(name, baseline) || !times.count(baseline) || times[baseline] <= 0) continue;
      std::printf("  %-48s %6.2fx  (%s)\n", name.c_str(), times[name] / times[baseline], baseline.c_str());
    }
  }

 private:
  static bool baselineOf(const std::string& name, std::string& baseline) {
    const auto first = name.find('/');
    const auto second = name.find('/', first + 1);
    if (first == std::string::npos || second == std::string::npos) return false;
    const std::string middle = name.substr(first + 1, second - first - 1);
    if (middle == "baseline") return false;
    baseline = name.substr(0, first) + "/baseline" + name.substr(second);
    return true;
  }

  std::map<std::string, double> times;
  std::vector<std::string> order;
};

}  // namespace kelo::bench

#define KELO_BENCHMARK_MAIN_WITH_RATIOS()         \
  int main(int argc, char** argv) {               \
    benchmark::Initialize(&argc, argv);           \
    kelo::bench::RatioReporter reporter;          \
    benchmark::RunSpecifiedBenchmarks(&reporter); \
    benchmark::Shutdown();                        \
    return 0;                                     \
  }
