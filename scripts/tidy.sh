#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy: bugprone, performance and analyzer checks) over the
# library, the platform layer and the programs, using the release build's compile
# commands (made by scripts/test.sh or cmake -S . -B build/release). Exit 1 on a finding.
set -euo pipefail
cd "$(dirname "$0")/.."

command -v run-clang-tidy >/dev/null || { echo "run-clang-tidy is missing: apt-get install clang-tidy" >&2; exit 2; }
[ -f build/release/compile_commands.json ] || cmake -S . -B build/release -G Ninja >/dev/null
mapfile -t files < <(git ls-files 'app/*.cpp' 'gfx/*.cpp' 'palette/*.cpp' 'flic/*.cpp' 'pcx/*.cpp' \
  'platform/*.cpp' 'plugins/*.cpp' 'resources/*.cpp' 'converter/*.cpp' 'tools/*.cpp' | sed "s|^|$PWD/|")
run-clang-tidy -p build/release -j "$(nproc 2>/dev/null || echo 2)" -quiet "${files[@]}"
