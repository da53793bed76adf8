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

# A home of its own, so that the user's saved stack is neither read nor changed.
home=$(mktemp -d)
HOME=$home XDG_DATA_HOME=$home/.local/share XDG_CONFIG_HOME=$home/.config \
    "$build/app/gui/KarvoGui" >/dev/null 2>&1 &
gui=$!
window=""
for _ in $(seq 50); do
    window=$(xdotool search --name "Karvo Calculator" 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "screenshot: the window did not appear" >&2; exit 1; }
xdotool windowfocus --sync "$window"

# Keys as a person types them: an operator enters the entry first.
keys() { xdotool type --delay 40 -- "$1"; sleep 0.2; }
enter() { keys "$1"; xdotool key Return; sleep 0.1; }
enter 2; keys "100^"
keys "30!"
enter 3; keys "5-"
enter 10; keys "150^"
enter 123456789; keys "987654321*"
enter 7; keys "0/"
sleep 0.5
import -window "$window" docs/screenshot.png
rm -rf "$home"
echo "wrote docs/screenshot.png"
