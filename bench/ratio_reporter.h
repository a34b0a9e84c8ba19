// A console reporter that also keeps each benchmark's time per iteration, so
// that a suite can print ratios between benchmarks of the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                nanosecondsPerIteration[run.benchmark_name()] =
                    run.real_accumulated_time * 1e9 / static_cast<double>(run.iterations);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Time per iteration in nanoseconds, or 0 when the benchmark did not run.
    double Nanoseconds(const std::string& name) const {
        const auto found = nanosecondsPerIteration.find(name);
        return found == nanosecondsPerIteration.end() ? 0.0 : found->second;
    }

private:
    std::map<std::string, double> nanosecondsPerIteration;
};
