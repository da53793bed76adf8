#include "ratio_reporter.h"

#include <cstdio>

bool RatioReporter::ReportContext(const Context &) { return true; }

void RatioReporter::ReportRuns(const std::vector<Run> &runs) {
    for (const Run &run : runs) {
        // A single run, or the median of repeated ones.
        const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
        if (run.error_occurred || (run.run_type != Run::RT_Iteration && !median))
            continue;
        const std::string name = run.run_name.function_name;
        const size_t colon = name.rfind(':');
        if (colon == std::string::npos)
            continue;
        const std::string key = name.substr(0, colon), side = name.substr(colon + 1);
        const double seconds =
            run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        Row &row = rows_[key];
        (side == "karvo" ? row.karvo : row.gmp) = seconds;
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
        if (row.karvo >= 0 && row.gmp >= 0)
            std::printf("%-34s %12.4f %12.4f %8.2f\n", key.c_str(), 1e3 * row.karvo, 1e3 * row.gmp,
                        row.karvo / row.gmp);
        else
            std::printf("%-34s %12.4f %12.4f %8s\n", key.c_str(), 1e3 * row.karvo, 1e3 * row.gmp,
                        "-");
    }
    std::fflush(stdout);
}
