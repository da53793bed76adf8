#!/usr/bin/env bash
# Builds the Debian package (build-package/karvo_VERSION_ARCH.deb) from a
# release build without tests or benchmarks, then shows what it holds.
#   scripts/package.sh            build and inspect
#   scripts/package.sh --install  also install it with apt-get, check that the
#                                 program, its menu entry and the library are
#                                 in place, and remove it again (as CI does)
set -euo pipefail
cd "$(dirname "$0")/.."
KARVO_EXTRA_PACKAGES="dpkg-dev desktop-file-utils file" scripts/install-deps.sh

dir=build-package
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DKARVO_BUILD_TESTS=OFF -DKARVO_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)"
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/karvo_*.deb)
echo "built $deb"
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"

# The package must hold these, and depend on the C++ runtime, Qt and libedit.
contents=$(dpkg-deb --contents "$deb")
for path in ./usr/bin/KarvoGui ./usr/bin/karvo ./usr/include/bignum/bignum.h ./usr/include/karvo/integer.hpp \
    ./usr/lib/x86_64-linux-gnu/pkgconfig/karvo.pc ./usr/share/applications/karvo-calculator.desktop \
    ./usr/share/icons/hicolor/scalable/apps/karvo-calculator.svg \
    ./usr/share/icons/hicolor/128x128/apps/karvo-calculator.png; do
    grep -q " $path" <<< "$contents" || { echo "package: $path is missing" >&2; exit 1; }
done
depends=$(dpkg-deb --field "$deb" Depends)
for lib in libstdc++6 libqt6widgets6 libedit2; do
    grep -q "$lib" <<< "$depends" || { echo "package: no dependency on $lib ($depends)" >&2; exit 1; }
done
echo "package contents and dependencies: ok"

if [ "${1:-}" = "--install" ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get install -y -qq "./$deb" >/dev/null
    test -x /usr/bin/KarvoGui
    desktop-file-validate /usr/share/applications/karvo-calculator.desktop
    ldd /usr/bin/KarvoGui | grep -q "libKarvo.so.0 => .*/lib/x86_64-linux-gnu/libKarvo.so.0"
    # It starts and keeps running until stopped (a home of its own, offscreen).
    rc=0
    HOME=$(mktemp -d) QT_QPA_PLATFORM=offscreen timeout 3 /usr/bin/KarvoGui >/dev/null 2>&1 || rc=$?
    [ "$rc" -eq 124 ] || { echo "package: KarvoGui ended with $rc" >&2; exit 1; }
    [ "$(/usr/bin/karvo -e '2 100^ p')" = 1267650600228229401496703205376 ]
    $sudo apt-get remove -y -qq karvo >/dev/null
    if [ -e /usr/bin/KarvoGui ] || [ -e /usr/bin/karvo ] || [ -e /usr/share/applications/karvo-calculator.desktop ]; then
        echo "package: files left after removal" >&2
        exit 1
    fi
    echo "package installs, and removes cleanly: ok"
fi
