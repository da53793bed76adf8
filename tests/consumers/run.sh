#!/usr/bin/env bash
# Installs the build into a temporary prefix and moves it elsewhere (the
# package files are relocatable), then builds and runs a C program found
# through pkg-config and a C++ one through find_package(Karvo).
#   run.sh BUILD_DIR
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/installed" >/dev/null
mv "$work/installed" "$work/prefix"
prefix=$work/prefix
pcdir=$(dirname "$(find "$prefix" -name karvo.pc)")
libdir=$(dirname "$(find "$prefix" -name 'libKarvo.so' | head -1)")

expect() { # name, actual, wanted
    if [ "$2" != "$3" ]; then
        printf '%s printed:\n%s\nwanted:\n%s\n' "$1" "$2" "$3" >&2
        exit 1
    fi
    echo "$1: ok"
}

cc -std=c99 -Wall -Wextra -Werror -pedantic "$here/c/main.c" \
    $(PKG_CONFIG_PATH=$pcdir pkg-config --cflags --libs karvo) -o "$work/c-consumer"
expect "C through pkg-config" "$(LD_LIBRARY_PATH=$libdir "$work/c-consumer")" \
"1267650600228229401496703205376
265252859812191058636308480000000"

cmake -S "$here/cxx" -B "$work/cxx" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cxx" >/dev/null
expect "C++ through find_package" "$(LD_LIBRARY_PATH=$libdir "$work/cxx/consumer")" \
"222232244629420445529739893461909967206666939096499764990979600
333333336
division by zero refused"
