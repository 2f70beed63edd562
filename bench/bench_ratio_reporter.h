#pragma once
// The console report of a benchmark program that prints ratios between its
// benchmarks at the end: it keeps each benchmark's real time per iteration,
// the median when repetitions run, else the single run; and the same of its
// CPU time, which a busy machine disturbs less.
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class RATIO_REPORTER : public benchmark::ConsoleReporter {
public:
  RATIO_REPORTER() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& reports) override {
    for (const Run& run : reports) {
      const std::string& name = run.run_name.function_name;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        medians[name] = run.GetAdjustedRealTime();
        cpu_medians[name] = run.GetAdjustedCPUTime();
      } else if (run.run_type == Run::RT_Iteration) {
        singles[name] = run.GetAdjustedRealTime();
        cpu_singles[name] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(reports);
  }
  bool time_of(const std::string& name, double* time) const { return find(name, medians, singles, time); }
  bool cpu_time_of(const std::string& name, double* time) const {
    return find(name, cpu_medians, cpu_singles, time);
  }
  // The real time of one benchmark over another's, when both ran.
  bool ratio_of(const std::string& over, const std::string& under, double* ratio) const {
    double a = 0, b = 0;
    if (!time_of(over, &a) || !time_of(under, &b) || b <= 0) return false;
    *ratio = a / b;
    return true;
  }

private:
  using TIMES = std::map<std::string, double>;
  static bool find(const std::string& name, const TIMES& medians, const TIMES& singles, double* time) {
    for (const TIMES* times : {&medians, &singles}) {
      const auto it = times->find(name);
      if (it == times->end()) continue;
      *time = it->second;
      return true;
    }
    return false;
  }

  TIMES medians, singles, cpu_medians, cpu_singles;
};
