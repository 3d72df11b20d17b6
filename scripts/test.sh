#!/usr/bin/env bash
# The whole test suite: installs what is missing, then builds and tests twice: a
# release build with g++ (its decoder tests run again at each lower vector level), and a
# clang build with AddressSanitizer and UndefinedBehaviorSanitizer that also runs the fuzz
# targets for a bounded time, with the threads test built with ThreadSanitizer between
# them. The builds treat warnings as errors, and the tests that compare with ffmpeg, Pillow and
# ImageMagick fail instead of skipping when those are missing. First, every tracked C++
# file must be formatted as .clang-format says; after the release build, the code must
# pass the .clang-tidy checks.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test

jobs=$(nproc 2>/dev/null || echo 2)
export CTEST_OUTPUT_ON_FAILURE=1
export QT_QPA_PLATFORM=offscreen
export MOXFLIC_REQUIRE_ORACLES=1

echo "== format check (.clang-format)"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

echo "== release build"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ \
  -DMOXFLIC_WERROR=ON >/dev/null
cmake --build build/release -j "$jobs"
ctest --test-dir build/release -j "$jobs" --timeout 60
# The processor's best vector code ran above; the decoder's tests, those that compare
# with the byte-at-a-time references and with ffmpeg, run again at the lower levels, so
# that every level's code is proven on every run.
vector_tests='FrameDecoder\.|PacketPaths\.|PairMap\.|Chunks\.|^Flic\.|FfmpegSample|AgainstFfmpeg|ReducePalette\.'
for level in portable avx2; do
  echo "== decoder tests with MOXFLIC_SIMD=$level"
  MOXFLIC_SIMD=$level ctest --test-dir build/release -j "$jobs" --timeout 60 -R "$vector_tests"
done

echo "== static checks (.clang-tidy)"
scripts/tidy.sh

echo "== thread sanitizer (threads decoding at once, each in a context of its own)"
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DMOXFLIC_TSAN=ON \
  -DMOXFLIC_QT=OFF -DMOXFLIC_BENCH=OFF -DMOXFLIC_PLUGINS=OFF -DMOXFLIC_WERROR=ON >/dev/null
cmake --build build/tsan -j "$jobs" --target context_tests moxflic-export
TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/flic/context_tests
# The many-file check's worker threads, over sound and damaged (cut short) files alike;
# damage makes the status 1, a race report 66.
cut_short=$(mktemp -d)
for file in tests/data/*.fl? tests/data/*.pcx; do head -c 1000 "$file" >"$cut_short/cut-$(basename "$file")"; done
for command in --check --info; do
  TSAN_OPTIONS=halt_on_error=1 build/tsan/converter/moxflic-export "$command" --jobs 4 tests/data "$cut_short" \
    >/dev/null || [ $? -eq 1 ]
done
rm -rf "$cut_short"

echo "== sanitizer build (ASan + UBSan, fuzzing)"
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DMOXFLIC_SANITIZE=ON -DMOXFLIC_FUZZ=ON -DMOXFLIC_BENCH=OFF -DMOXFLIC_WERROR=ON >/dev/null
cmake --build build/sanitize -j "$jobs"
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build/sanitize -j "$jobs" --timeout 60

echo "== all tests passed"
