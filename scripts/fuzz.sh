#!/usr/bin/env bash
# Differential fuzzing of the library against GMP with libFuzzer.
#   scripts/fuzz.sh SECONDS
# Installs what is missing (clang and its libFuzzer runtime), builds the harnesses of
# tests/fuzz/ with clang in build-fuzz/, and runs each for SECONDS on every instruction-set path
# this processor can run (KARVO_ISA=portable, avx2, avx512; the others are reported as skipped),
# from the seeds of tests/fuzz/corpus/ and the corpus grown by earlier runs in
# build-fuzz/corpus/. Prints executions, coverage and findings per harness and path; a finding
# (mismatch, crash, sanitizer report, leak, timeout) is kept in build-fuzz/findings/ and makes
# the script exit non-zero. Replay one with: KARVO_ISA=<path> build-fuzz/tests/fuzz/<harness> <file>
# Each fuzzer is one process on one core; KARVO_FUZZ_JOBS of them (default: the number of cores)
# run at once, each on its own harness and path, so SECONDS is each one's time, not the total.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-}"
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: scripts/fuzz.sh SECONDS" >&2
    exit 2
fi

KARVO_EXTRA_PACKAGES="clang ${KARVO_EXTRA_PACKAGES:-}" scripts/install-deps.sh
# libFuzzer comes with clang's runtime libraries, packaged per clang version.
if ! [ -f "$(clang++ -print-file-name=libclang_rt.fuzzer-x86_64.a)" ]; then
    major="$(clang++ -dumpversion | cut -d. -f1)"
    KARVO_EXTRA_PACKAGES="libclang-rt-${major}-dev" scripts/install-deps.sh
fi

dir=build-fuzz
mkdir -p "$dir"
cmake -S . -B "$dir" -G Ninja -DKARVO_BUILD_TESTS=ON -DKARVO_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ > "$dir/configure.log" 2>&1 ||
    { cat "$dir/configure.log"; exit 1; }
cmake --build "$dir" --target karvo_fuzzers -j "$(nproc)"

export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
harnesses=(arith text number_theory pow_root records)
bin="$dir/tests/fuzz"
mkdir -p "$dir/logs" "$dir/findings" "$dir/results"
rm -f "$dir/results/"*

# Fuzzes one harness on one path; its summary line goes to $dir/results/<harness>-<path>, and it
# returns non-zero on any finding. Its messages are printed when it ends, not interleaved.
fuzz_one() {
    local h="$1" path="$2"
    local log="$dir/logs/$h-$path.log"
    local findings="$dir/findings/$h-$path"
    rm -rf "$findings" # what an earlier run found was reported then
    mkdir -p "$dir/corpus/$h" "$findings"
    local corpora=("$dir/corpus/$h" "tests/fuzz/corpus/$h")
    local notes=() failed=0
    # Inputs that once found a fault are replayed first: one still failing is reported, and
    # the fuzzing goes on from the other inputs.
    local regressions="tests/fuzz/regressions/$h"
    if [ -n "$(ls -A "$regressions" 2> /dev/null)" ]; then
        if KARVO_ISA=$path "$bin/fuzz_$h" -timeout=60 -rss_limit_mb=4096 \
            -artifact_prefix="$findings/regression-" "$regressions"/* \
            > "$dir/logs/$h-$path.regressions.log" 2>&1; then
            corpora+=("$regressions")
        else
            notes+=("REGRESSION FAILS (see $dir/logs/$h-$path.regressions.log)")
            failed=1
            grep -E -A12 '==== Karvo differs|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error' \
                "$dir/logs/$h-$path.regressions.log" | grep -v '^    #' | head -20 || true
        fi
    fi
    local rc=0
    KARVO_ISA=$path "$bin/fuzz_$h" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=4096 \
        -max_len=4096 -print_final_stats=1 -artifact_prefix="$findings/" "${corpora[@]}" \
        > "$log" 2>&1 || rc=$?
    local runs rate status cov ft corp slow found
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)"
    status="$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1 || true)"
    cov="$(sed -n 's/.*cov: \([0-9]*\).*/\1/p' <<< "$status")"
    ft="$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<< "$status")"
    corp="$(sed -n 's/.* corp: \([0-9]*\/[0-9]*[a-zA-Z]*\).*/\1/p' <<< "$status")"
    # libFuzzer keeps inputs slower than 10 s as slow-unit-*: worth a look, not a finding.
    slow="$(find "$findings" -name 'slow-unit-*' | wc -l)"
    found="$(find "$findings" -type f ! -name 'slow-unit-*' ! -name 'regression-*' | wc -l)"
    if ! grep -q "kernel path $path (requested $path" "$log"; then
        notes+=("FAILED: did not run on the $path path")
        failed=1
    fi
    if [ "$rc" -ne 0 ] || [ "$found" -ne 0 ]; then
        notes+=("FINDING (exit $rc, $found file(s) in $findings)")
        failed=1
        grep -E -A12 '==== Karvo differs|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error' \
            "$log" | grep -v '^    #' | head -20 || true
        echo "log: $log"
    fi
    [ "$slow" -eq 0 ] || notes+=("$slow input(s) over 10 s kept in $findings")
    local verdict="ok"
    [ ${#notes[@]} -eq 0 ] || verdict="$(IFS=';'; echo "${notes[*]}")"
    printf '%-14s %-9s runs %-8s exec/s %-5s cov %-5s ft %-6s corpus %-11s %s\n' \
        "$h" "$path" "${runs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" "${corp:-?}" "$verdict" \
        > "$dir/results/$h-$path"
    echo "== fuzz_$h on the $path path: $verdict"
    return "$failed"
}

jobs="${KARVO_FUZZ_JOBS:-$(nproc)}"
failed=0
summary=()
running=0
for path in portable avx2 avx512; do
    if ! probe="$(KARVO_ISA=$path "$bin/karvo_isa_probe")"; then
        summary+=("$(printf '%-14s %-9s skipped: the %s path cannot run on this processor (%s)' \
            - "$path" "$path" "$probe")")
        continue
    fi
    for h in "${harnesses[@]}"; do
        if [ "$running" -ge "$jobs" ]; then
            wait -n || failed=1
            running=$((running - 1))
        fi
        echo "== fuzz_$h on the $path path for ${seconds}s"
        fuzz_one "$h" "$path" &
        running=$((running + 1))
    done
done
while [ "$running" -gt 0 ]; do
    wait -n || failed=1
    running=$((running - 1))
done
for path in portable avx2 avx512; do
    for h in "${harnesses[@]}"; do
        [ ! -f "$dir/results/$h-$path" ] || summary+=("$(cat "$dir/results/$h-$path")")
    done
done

echo
echo "Fuzzing summary (${seconds}s per harness and path):"
printf '%s\n' "${summary[@]}"
if [ "$failed" -ne 0 ]; then
    echo "fuzzing found problems: see $dir/findings and $dir/logs" >&2
    exit 1
fi
