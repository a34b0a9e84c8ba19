// A console reporter that also keeps each benchmark's time per iteration, so
// that a suite can print ratios between benchmarks of the same run. With
// --benchmark_repetitions it keeps the median of the repetitions.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const double toNanoseconds = 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            const Times times{run.GetAdjustedRealTime() * toNanoseconds, run.GetAdjustedCPUTime() * toNanoseconds};
            const std::string& name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median") medianTimes[name] = times;
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

    // The times of a benchmark (the medians where the run was repeated), or
    // zeros when it did not run.
    Times Nanoseconds(const std::string& name) const {
        for (const auto* times : {&medianTimes, &lastTimes}) {
            const auto found = times->find(name);
            if (found != times->end()) return found->second;
        }
        return {0.0, 0.0};
    }

    bool Repeated() const { return !medianTimes.empty(); }

private:
    std::map<std::string, Times> medianTimes;
    std::map<std::string, Times> lastTimes;
};
