#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need.
# Only what is missing is installed; runs apt-get through sudo when not root.
set -euo pipefail

packages=(build-essential cmake ninja-build pkg-config libgtest-dev libgmp-dev
    qt6-base-dev libedit-dev dc fonts-dejavu-core)
# Optional extras, e.g. the benchmark library for scripts/bench.sh.
read -r -a extra <<< "${KARVO_EXTRA_PACKAGES:-}"
packages+=("${extra[@]}")

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
