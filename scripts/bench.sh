#!/usr/bin/env bash
# Installs what is missing, builds the benchmark in release mode and prints
# the table of Karvo and GMP times, then the peak memory of the largest
# operations, under the processor and the kernel path they ran on (KARVO_ISA
# picks a lower path). Arguments go to Google Benchmark, e.g.
#   scripts/bench.sh --benchmark_filter='mul/|div/'
set -euo pipefail
cd "$(dirname "$0")/.."
KARVO_EXTRA_PACKAGES="libbenchmark-dev" scripts/install-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKARVO_BUILD_BENCH=ON \
    -DKARVO_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)" --target karvo_bench karvo_memory >/dev/null
# The processor and the flags the kernel paths need: rows want bmi2 and adx,
# avx2 wants avx2, fma and bmi2, avx512 wants avx512f, avx512dq and avx512ifma.
echo "processor: $(grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
cpu_flags=" $(grep -m1 '^flags' /proc/cpuinfo | cut -d: -f2-) "
have=() without=()
for f in bmi2 adx avx2 fma avx512f avx512dq avx512ifma; do
    if [[ $cpu_flags == *" $f "* ]]; then have+=("$f"); else without+=("$f"); fi
done
echo "flags: ${have[*]:-none}${without:+ (without ${without[*]})}"
build-bench/bench/karvo_bench "$@"
echo
build-bench/bench/karvo_memory
