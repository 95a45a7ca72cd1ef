#!/usr/bin/env bash
# Kelo's main job: installs what is missing, then configures and builds the
# plug-in bundle build/Kelo.vst3.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
echo "Built $(pwd)/build/Kelo.vst3"
