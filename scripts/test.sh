#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
#   scripts/test.sh            a normal build in build/
#   scripts/test.sh --sanitize AddressSanitizer + UndefinedBehaviorSanitizer in build-asan/
#   scripts/test.sh --thread   ThreadSanitizer in build-tsan/: only the tests that run
#                              several threads, and only the targets they need
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

dir=build
flags=()
if [ "${1:-}" = "--thread" ]; then
    dir=build-tsan
    cmake -S . -B "$dir" -G Ninja -DKARVO_BUILD_TESTS=ON -DKARVO_TSAN=ON \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$dir" -j "$(nproc)" \
        --target karvo_tests engine_tests engine_threads_tests karvo_cxx_tests
    threads='^(Threads|EngineThreads|CancelFlag|LastMessage)\.'
    threads+='|^Engine\.(StackErrorsAreThrownAndReleaseTheLock|ComputationsRunApartAndCanBeCancelled)$'
    threads+='|^cxx\.(IntegerMessages\.|IntegerValue\.SharedOperandsAreReadOnlyAcrossThreads$)'
    # Any report fails the test; the high-entropy address layouts of newer
    # kernels confuse ThreadSanitizer's memory map, so the layout is fixed.
    export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
    setarch "$(uname -m)" -R \
        ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" -R "$threads"
    exit
fi
if [ "${1:-}" = "--sanitize" ]; then
    dir=build-asan
    flags=(-DKARVO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi
cmake -S . -B "$dir" -G Ninja -DKARVO_BUILD_TESTS=ON "${flags[@]}"
cmake --build "$dir" -j "$(nproc)"
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"
