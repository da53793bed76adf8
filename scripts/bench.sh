#!/usr/bin/env bash
# Installs what is missing, builds the benchmark in release mode and prints
# the table of Karvo and GMP times, then the peak memory of the largest
# operations. Arguments go to Google Benchmark, e.g.
#   scripts/bench.sh --benchmark_filter='mul/|div/'
set -euo pipefail
cd "$(dirname "$0")/.."
KARVO_EXTRA_PACKAGES="libbenchmark-dev" scripts/install-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKARVO_BUILD_BENCH=ON \
    -DKARVO_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)" --target karvo_bench karvo_memory >/dev/null
build-bench/bench/karvo_bench "$@"
echo
build-bench/bench/karvo_memory
