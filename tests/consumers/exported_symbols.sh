#!/usr/bin/env bash
# The library exports exactly the functions and tables its header declares:
# no more (nothing of the C++ runtime or the kernels), no fewer.
#   exported_symbols.sh LIBRARY HEADER
set -euo pipefail
library=$1
header=$2
exported=$(nm -D --defined-only "$library" | awk '{print $3}' | sort -u)
declared=$(grep -E '^BIGNUM_API' "$header" |
    sed -E 's/^BIGNUM_API[^(;[]*[ *]([A-Za-z_][A-Za-z0-9_]*) *[(;[].*$/\1/' | sort -u)
extra=$(comm -23 <(echo "$exported") <(echo "$declared"))
missing=$(comm -13 <(echo "$exported") <(echo "$declared"))
if [ -n "$extra" ] || [ -n "$missing" ]; then
    echo "exported but not declared:"; echo "$extra"
    echo "declared but not exported:"; echo "$missing"
    exit 1
fi
echo "$(echo "$exported" | wc -l) symbols, exactly the declared interface"
