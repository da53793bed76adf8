#!/usr/bin/env bash
# Installs what is missing, builds and starts the program; arguments are passed on.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target karvo-demo >/dev/null
if [ $# -eq 0 ]; then
    set -- 2 100 pow 30 '!' 3 -27 root
fi
exec build/app/karvo-demo "$@"
