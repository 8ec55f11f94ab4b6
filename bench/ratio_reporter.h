// Runs the registered Google Benchmark cases and, after the usual table,
// prints each named ratio of two cases measured in the same run:
//   ratio <name>: <value> (target <comparison>)
// A ratio is time(numerator) / time(denominator), both real time per
// iteration.
#ifndef VELK_BENCH_RATIO_REPORTER_H_
#define VELK_BENCH_RATIO_REPORTER_H_

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace velk::bench {

struct Ratio {
  std::string name;         // what the ratio says, e.g. "FindText / memmem"
  std::string numerator;    // benchmark name
  std::string denominator;  // benchmark name
  std::string target;       // e.g. "<= 4.0", printed beside the value
};

class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
        const std::string name = run.run_name.str();
        if (run.run_type == Run::RT_Iteration && seconds_.count(name) &&
            hasMedian_.count(name)) {
          continue;
        }
        if (run.aggregate_name == "median") hasMedian_[name] = true;
        seconds_[name] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, double>& seconds() const { return seconds_; }

 private:
  std::map<std::string, double> seconds_;
  std::map<std::string, bool> hasMedian_;
};

// Runs every registered benchmark, then prints the ratios. Returns 0.
inline int RunWithRatios(int argc, char** argv,
                         const std::vector<Ratio>& ratios) {
  benchmark::Initialize(&argc, argv);
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n");
  for (const Ratio& ratio : ratios) {
    auto num = reporter.seconds().find(ratio.numerator);
    auto den = reporter.seconds().find(ratio.denominator);
    if (num == reporter.seconds().end() || den == reporter.seconds().end() ||
        den->second <= 0) {
      std::printf("ratio %s: not measured\n", ratio.name.c_str());
      continue;
    }
    std::printf("ratio %s: %.3f (target %s)\n", ratio.name.c_str(),
                num->second / den->second, ratio.target.c_str());
  }
  benchmark::Shutdown();
  return 0;
}

}  // namespace velk::bench

#endif  // VELK_BENCH_RATIO_REPORTER_H_
