#!/usr/bin/env bash
# Runs every test: the plain build's whole suite (native, browser and page
# tests), the Windows module cross-built with mingw-w64 and its tests under
# Wine, then the native tests again under ThreadSanitizer, and the native
# and browser-driving C++ tests under AddressSanitizer with
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh

jobs=$(nproc)
status=0
# Rebuilds of the four build folders share compiled objects where ccache exists.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# Formatting first: it takes seconds and needs no build.
tools/check-format.sh || status=1

# run_suite <build dir> "<ctest selection>" <cmake options...>
run_suite() {
  local dir=$1 selection=$2; shift 2
  cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  # shellcheck disable=SC2086
  ctest --test-dir "$dir" --output-on-failure $selection || status=1
}

run_suite build-tests "" -DCMAKE_BUILD_TYPE=Debug

# The Windows module, cross-built with mingw-w64: its tests run under Wine in a prefix of
# their own (created in about ten seconds, removed afterwards), all within
# one Xvfb display.
WINEPREFIX=$(mktemp -d -t kelo-wine.XXXXXX)
export WINEPREFIX
cmake -S . -B build-win -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake >/dev/null
cmake --build build-win -j "$jobs"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build-win --output-on-failure || status=1
"$(command -v wineserver || echo /usr/lib/wine/wineserver)" -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
unset WINEPREFIX

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
run_suite build-tsan "-L native" -DCMAKE_BUILD_TYPE=Debug -DKELO_SANITIZE=thread \
  -DKELO_BUILD_BENCHMARKS=OFF -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
unset TSAN_OPTIONS

export ASAN_OPTIONS="detect_leaks=1 abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1"
run_suite build-asan "-LE web" -DCMAKE_BUILD_TYPE=Debug -DKELO_SANITIZE=address,undefined \
  -DKELO_BUILD_BENCHMARKS=OFF -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14

exit $status
