// Runs every workload on Karvo and on GMP and prints a table of the times and
// their ratio Karvo/GMP. Google Benchmark's flags apply, for example
//   karvo_bench --benchmark_filter='mul/'
#include <benchmark/benchmark.h>

#include <cstdio>

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
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
