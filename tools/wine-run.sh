#!/usr/bin/env bash
# Runs a Windows program of a cross-build under Wine (Debian's wine64): the
# emulator of cmake/toolchains/mingw-w64-x86_64.cmake, through which ctest
# starts every Windows test program.
#
# The Wine prefix is $WINEPREFIX, by default a folder of the calling user's
# temporary directory made on first use; without a display, the program runs
# under its own Xvfb (xvfb-run -a). Wine's own messages are off unless
# WINEDEBUG says otherwise.
set -euo pipefail
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/kelo-wine-$(id -u)}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
exec "$wine" "$@"
