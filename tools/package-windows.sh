#!/usr/bin/env bash
# Packs the cross-built Windows bundle of build-win (see tools/test.sh) with
# the licence texts into build-win/Kelo-<version>-windows-x64.zip.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(Kelo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
stage=build-win/package
rm -rf "$stage" && mkdir -p "$stage"
cp -r build-win/Kelo.vst3 "$stage/"
cp -r licenses "$stage/"
zip="Kelo-$version-windows-x64.zip"
(cd "$stage" && cmake -E tar cf "../$zip" --format=zip Kelo.vst3 licenses)
rm -rf "$stage"
echo "Packed $(pwd)/build-win/$zip"
