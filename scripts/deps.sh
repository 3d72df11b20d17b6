#!/usr/bin/env bash
# Installs the Debian 12 packages moxflic needs, when they are missing.
# Usage: scripts/deps.sh [build|test]   (test adds the oracles and the X server for the tests)
set -euo pipefail

build_packages=(cmake ninja-build g++ pkg-config libpng-dev libgif-dev qt6-base-dev)
test_packages=(clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev ffmpeg python3-pil
               xvfb xauth xdotool wmctrl openbox imagemagick)

wanted=("${build_packages[@]}")
if [ "${1:-build}" = test ]; then wanted+=("${test_packages[@]}"); fi

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
