// A console reporter that also keeps each benchmark's time per iteration, so
// that a suite can print ratios between benchmarks of the same run. With
// --benchmark_repetitions it keeps each aggregate of the repetitions (median,
// and any statistic the suite adds) by name.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <utility>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const double toNanoseconds = 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            const Times times{run.GetAdjustedRealTime() * toNanoseconds, run.GetAdjustedCPUTime() * toNanoseconds};
            const std::string& name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate) {
                aggregateTimes[{name, run.aggregate_name}] = times;
            } else if (run.iterations > 0) {
                lastTimes[name] = times;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Wall and processor time per iteration in nanoseconds.
    struct Times {
        double wall, processor;
    };

    // The times of a benchmark: the named aggregate of its repetitions
    // ("median", "min", ...), or those of its one run; zeros when there are none.
    Times Nanoseconds(const std::string& name, const std::string& aggregate = "median") const {
        const auto found = aggregateTimes.find({name, aggregate});
        if (found != aggregateTimes.end()) return found->second;
        const auto last = lastTimes.find(name);
        return last != lastTimes.end() ? last->second : Times{0.0, 0.0};
    }

    bool Repeated() const { return !aggregateTimes.empty(); }

private:
    std::map<std::pair<std::string, std::string>, Times> aggregateTimes;
    std::map<std::string, Times> lastTimes;
};
