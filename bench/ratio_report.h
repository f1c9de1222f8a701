// Prints, after the usual table, how each of our benchmarks compares with its
// reference from the same run, against the goal. With repetitions the
// medians are compared. Times are the thread's CPU time, which other work on
// a shared machine disturbs far less than wall time, except for benchmarks
// that wait for the disk (UseRealTime): those compare wall time.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <ostream>
#include <string>
#include <vector>

struct Comparison {
  std::string subject, reference;  // "function/args", as in the table
  // Faster: reference time / subject time must reach goal ("3x QPainter").
  // Slower: subject time / reference time must stay within goal ("1.5x a raw read").
  enum Kind { kFaster, kSlower } kind;
  double goal;  // 0: shown without a goal
};

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit RatioReporter(std::vector<Comparison> comparisons)
      : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular),
        comparisons_(std::move(comparisons)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Aggregate && !median) continue;
      std::string name = run.run_name.function_name;
      if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
      Timing& t = seconds_[name];
      if (t.fromMedian && !median) continue;
      const double time =
          run.run_name.time_type.empty() ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
      t.seconds = time / benchmark::GetTimeUnitMultiplier(run.time_unit);
      t.fromMedian = median;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::ostream& out = GetOutputStream();
    bool headed = false;
    for (const Comparison& c : comparisons_) {
      const auto s = seconds_.find(c.subject), r = seconds_.find(c.reference);
      if (s == seconds_.end() || r == seconds_.end()) continue;  // filtered out
      const bool faster = c.kind == Comparison::kFaster;
      const double ratio =
          faster ? r->second.seconds / s->second.seconds : s->second.seconds / r->second.seconds;
      const bool met = c.goal <= 0 || (faster ? ratio >= c.goal : ratio <= c.goal);
      char line[200];
      if (!headed) {
        std::snprintf(line, sizeof line, "\n%-34s %-34s %9s %9s\n", "ours", "against", "ratio", "goal");
        out << line;
        headed = true;
      }
      char goal[32] = "";
      if (c.goal > 0) std::snprintf(goal, sizeof goal, "%s%6.2fx", faster ? ">=" : "<=", c.goal);
      std::snprintf(line, sizeof line, "%-34s %-34s %8.2fx %9s %s\n", c.subject.c_str(), c.reference.c_str(),
                    ratio, goal, met ? "" : "MISSED");
      out << line;
    }
  }

 private:
  struct Timing {
    double seconds = 0;
    bool fromMedian = false;
  };
  std::vector<Comparison> comparisons_;
  std::map<std::string, Timing> seconds_;
};

// main() for a benchmark program with comparisons.
inline int RunBenchmarksWithRatios(int argc, char** argv, std::vector<Comparison> comparisons) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter(std::move(comparisons));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
