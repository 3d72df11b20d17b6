#!/usr/bin/env bash
# Installs the Debian 12 packages moxflic needs, when they are missing.
# Usage: scripts/deps.sh [build|test|package]
#   test adds the oracles, the X server, the desktop file validators and the desktop
#   programs the installed tree is tried with (xdg-utils, tumbler, lintian) for the tests;
#   package adds what cpack needs to make the Debian package.
set -euo pipefail

build_packages=(cmake ninja-build g++ pkg-config libpng-dev libgif-dev libimagequant-dev qt6-base-dev libgdk-pixbuf-2.0-dev)
test_packages=(clang clang-format clang-tidy libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev ffmpeg python3-pil
               xvfb xauth xdotool wmctrl xclip openbox imagemagick appstream desktop-file-utils man-db
               file shared-mime-info xdg-utils dbus-x11 tumbler dpkg-dev lintian)
package_packages=(dpkg-dev file)

wanted=("${build_packages[@]}")
case "${1:-build}" in
  test) wanted+=("${test_packages[@]}") ;;
  package) wanted+=("${package_packages[@]}") ;;
esac

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
