#!/usr/bin/env bash
# Takes docs/screenshot.png: starts KarvoGui on a virtual X display (Xvfb), types
# a few numbers and operations as a person would, and captures the window.
# Needs xvfb, xdotool and imagemagick (apt-get install xvfb xdotool imagemagick).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target KarvoGui >/dev/null

export DISPLAY=:97
Xvfb "$DISPLAY" -screen 0 1280x800x24 >/dev/null 2>&1 &
xvfb=$!
gui=""
cleanup() {
    [ -n "$gui" ] && kill "$gui" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
sleep 1

"$build/app/gui/KarvoGui" >/dev/null 2>&1 &
gui=$!
window=""
for _ in $(seq 50); do
    window=$(xdotool search --name "Karvo Calculator" 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "screenshot: the window did not appear" >&2; exit 1; }
xdotool windowfocus --sync "$window"

enter() { xdotool type --delay 30 -- "$1"; xdotool key Return; }
# Buttons are clicked at their place in the window's default 960x580 layout.
press() {
    local x y
    case "$1" in
    power) x=717 y=385 ;;
    factorial) x=717 y=477 ;;
    subtract) x=559 y=477 ;;
    divide) x=559 y=385 ;;
    esac
    xdotool mousemove --window "$window" "$x" "$y" click 1
    sleep 0.2
}

enter 2; enter 100; press power
enter 30; press factorial
enter 3; enter 5; press subtract
enter 10; enter 150; press power
enter 7; enter 0; press divide
sleep 0.5
import -window "$window" docs/screenshot.png
echo "wrote docs/screenshot.png"
