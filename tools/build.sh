#!/usr/bin/env bash
# Kelo's main job: installs what is missing, builds what is not built yet
# (the plug-in bundle build/Kelo.vst3 and the preview host), then starts
# kelo-preview with the demonstration song. Without a display it says so and
# writes the preview's pictures to build/preview-screenshots/ instead.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
echo "Built $(pwd)/build/Kelo.vst3 (cmake --install build puts it into ~/.vst3)"

preview=build/preview/kelo-preview
if [ -n "${DISPLAY:-}" ]; then
  echo "Starting kelo-preview with the demonstration song; close its window or press q to stop."
  exec "$preview" "$@"
fi
pictures=build/preview-screenshots
echo "No display here (DISPLAY is not set): writing the preview's pictures to $(pwd)/$pictures instead."
exec xvfb-run -a -s "-screen 0 1400x900x24" "$preview" --screenshots "$pictures" --at 3,8,14,22 "$@"
