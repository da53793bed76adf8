#!/usr/bin/env bash
# Times dc and karvo on the same scripts in one run and prints a Markdown
# table. dc gets at most DC_TIMEOUT seconds a script (default 600).
#   scripts/dc-timings.sh [path/to/karvo]
set -euo pipefail
cd "$(dirname "$0")/.."
karvo=${1:-build/app/cli/karvo}
limit=${DC_TIMEOUT:-600}
command -v dc >/dev/null || { echo "dc is not installed (apt-get install dc)" >&2; exit 1; }
[ -x "$karvo" ] || { echo "no karvo at $karvo: build it first (scripts/test.sh)" >&2; exit 1; }

scripts=(
    "7 110000^ p"
    "7 1100000^ p"
    "[d 1 - d 1 <f *] sf 20000 lf x Z p"
    "[d 1 - d 1 <f *] sf 190000 lf x Z p"
    "2 2000000^ 3 600000^ * 10 300000^ ~ Z p sx Z p"
    "10 400000^ 1 - v Z p"
)
# Scripts with karvo's own commands, which dc does not have.
own=(
    "190000 y Z p"
    "10 900000^ 7 + 1000 V Z p"
)

seconds() { # runs a command, prints its wall time or "> limit"
    local start end status=0
    start=$(date +%s.%N)
    timeout "$limit" "$@" >/dev/null 2>&1 || status=$?
    end=$(date +%s.%N)
    [ "$status" -eq 124 ] && { echo "> $limit"; return; }
    [ "$status" -gt 128 ] && { echo "crashed (signal $((status - 128)))"; return; }
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}

echo "Processor: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'); $(date -u +%Y-%m-%d)"
echo
echo "| Script | dc (s) | karvo (s) |"
echo "|---|---|---|"
for s in "${scripts[@]}"; do
    echo "| \`$s\` | $(seconds dc -e "$s") | $(seconds "$karvo" -e "$s") |"
done
for s in "${own[@]}"; do
    echo "| \`$s\` | (no such command) | $(seconds "$karvo" -e "$s") |"
done
