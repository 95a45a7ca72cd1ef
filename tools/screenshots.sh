#!/usr/bin/env bash
# Redraws the README's pictures in docs/images/ with kelo-preview on a
# virtual display: the editor, and the demonstration song at bars 3 (a
# phrase), 8 (a count-down), 14 (after the change to 3/4) and 22 (the end),
# in both display modes. Run tools/build.sh (or cmake --build build) first.
set -euo pipefail
cd "$(dirname "$0")/.."
exec xvfb-run -a -s "-screen 0 1400x900x24" build/preview/kelo-preview --screenshots docs/images --at 3,8,14,22
