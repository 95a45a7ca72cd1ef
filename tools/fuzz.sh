#!/usr/bin/env bash
# Runs every fuzz target for long: tools/fuzz.sh [seconds per target, default 3600].
# CI runs the same targets for a few seconds each (ctest -L fuzz, and the cue
# compiler's property test among the page tests). Builds the AddressSanitizer
# build that tools/test.sh uses. New inputs are kept in build-asan/tests/fuzz/corpus;
# a crash is written to build-asan/tests/fuzz/crash-* and must become a test case.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-3600}
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELO_SANITIZE=address,undefined \
  -DKELO_BUILD_BENCHMARKS=OFF -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build build-asan -j "$(nproc)" --target kelo_StateFuzz kelo_CallMessageFuzz kelo_ResourcePathFuzz

# The same longest inputs as the CI runs (tests/fuzz/CMakeLists.txt).
declare -A max_len=([StateFuzz]=4096 [CallMessageFuzz]=65536 [ResourcePathFuzz]=1024)
cd build-asan/tests/fuzz
for name in StateFuzz CallMessageFuzz ResourcePathFuzz; do
  mkdir -p "corpus/$name"
  ./kelo_$name -max_total_time="$seconds" -max_len="${max_len[$name]}" -rss_limit_mb=2048 \
    "corpus/$name" "../../../tests/fuzz/corpus/$name"
done
cd ../../..
KELO_FUZZ_SECONDS="$seconds" node --test tests/web/cues.fuzz.test.mjs
