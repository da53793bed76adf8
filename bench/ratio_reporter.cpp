#include "ratio_reporter.h"

#include <cstdio>

bool RatioReporter::ReportContext(const Context &) { return true; }

void RatioReporter::ReportRuns(const std::vector<Run> &runs) {
    for (const Run &run : runs) {
        // A single run, or the median of repeated ones.
        const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
        if (run.error_occurred || (run.run_type != Run::RT_Iteration && !median))
            continue;
        const auto counter = [&](const char *name) {
            const auto found = run.counters.find(name);
            return found == run.counters.end() ? -1.0 : double(found->second);
        };
        rows_[run.run_name.function_name] = {counter("karvo"), counter("gmp"), counter("ratio")};
    }
}

// The table at the end: with repetitions interleaved at random, the workloads
// finish in no particular order.
void RatioReporter::Finalize() {
    std::printf("%-34s %12s %12s %8s\n", "workload/size", "Karvo (ms)", "GMP (ms)", "ratio");
    for (const std::string &key : order_) {
        const auto found = rows_.find(key);
        if (found == rows_.end())
            continue; // filtered out
        const Row &row = found->second;
        std::printf("%-34s %12.4f %12.4f %8.2f\n", key.c_str(), 1e3 * row.karvo, 1e3 * row.gmp,
                    row.ratio);
    }
    std::fflush(stdout);
}
