// Runs every workload on Karvo and on GMP and prints a table of the times
// and their ratio Karvo/GMP, each the median of three runs. Google Benchmark's flags
// apply, for example
//   karvo_bench --benchmark_filter='mul/'
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "bignum.h"
#include "kernels/isa.h"
#include "ratio_reporter.h"
#include "workloads.h"

int main(int argc, char **argv) {
    bignum_init();
    // The library makes the same choice from the same environment.
    namespace k = karvo::kernel;
    std::printf("kernel path: %s (requested %s, best on this processor %s)\n",
                k::isa_name(k::isa()), k::isa_name(k::requested()), k::isa_name(k::best_isa()));
    std::fflush(stdout);
    register_workloads();
    register_calculator_workloads();
    // Every workload runs three times, the runs of all workloads interleaved
    // at random, and the median counts: a slow spell of a busy machine falls
    // on one run rather than on every run of one workload. Flags given on
    // the command line come after these, so they win.
    std::vector<char *> args(argv, argv + argc);
    char repetitions[] = "--benchmark_repetitions=3";
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    char aggregates[] = "--benchmark_report_aggregates_only=true";
    args.insert(args.begin() + 1, {repetitions, interleave, aggregates});
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    std::fprintf(stderr, "running; the table comes at the end\n");
    RatioReporter reporter(workload_keys());
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
