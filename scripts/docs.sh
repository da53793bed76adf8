#!/usr/bin/env bash
# Builds the reference documentation of the C interface (bignum/bignum.h) and
# the C++ class (include/karvo/integer.hpp) with Doxygen. Any warning fails
# the build. The HTML lands in build-docs/html.
set -euo pipefail

cd "$(dirname "$0")/.."

if ! command -v doxygen >/dev/null 2>&1; then
    KARVO_EXTRA_PACKAGES=doxygen scripts/install-deps.sh
fi

doxygen docs/Doxyfile

echo "Documentation: $(pwd)/build-docs/html/index.html"
