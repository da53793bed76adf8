#!/usr/bin/env bash
# Builds karvo_tune in release mode and prints the crossovers of Tuning that
# suit this processor and kernel path (KARVO_ISA picks a lower path). It
# changes no file; paste its initializer into bignum/kernels/limb.h by hand.
# Run on an idle machine. Arguments go to karvo_tune, e.g.
#   KARVO_ISA=avx2 scripts/tune.sh --quick
set -euo pipefail
cd "$(dirname "$0")/.."
KARVO_EXTRA_PACKAGES="libbenchmark-dev" scripts/install-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKARVO_BUILD_BENCH=ON \
    -DKARVO_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)" --target karvo_tune >/dev/null
echo "processor: $(grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
build-bench/bench/karvo_tune "$@"
