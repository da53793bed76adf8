// Runs every workload on Karvo and on GMP and prints a table of the times and
// their ratio Karvo/GMP. Google Benchmark's flags apply, for example
//   karvo_bench --benchmark_filter='mul/'
#include <benchmark/benchmark.h>

#include "bignum.h"
#include "ratio_reporter.h"
#include "workloads.h"

int main(int argc, char **argv) {
    bignum_init();
    register_workloads();
    register_calculator_workloads();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
