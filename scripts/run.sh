#!/usr/bin/env bash
# Installs what is missing, builds the calculator and opens its window;
# arguments are passed on to it (Qt's own, such as -platform).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target KarvoGui >/dev/null
exec build/app/gui/KarvoGui "$@"
