#!/usr/bin/env bash
# Installs what building and testing Kelo needs on a Debian 12 machine, and
# only what is missing, so running it again costs nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build g++ clang-14 libclang-rt-14-dev clang-format-14
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev juce-modules-source-data
  chromium xvfb xauth fonts-liberation
  libx11-dev libxtst-dev
  xdg-utils
  libpng-dev xdotool
  python3-mido
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64
)
command -v node >/dev/null 2>&1 || packages+=(nodejs npm)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The page tests drive Debian's Chromium with playwright-core, which never
# downloads a browser of its own.
if [ -f package-lock.json ]; then
  stamp=node_modules/.kelo-lock
  if [ ! -f "$stamp" ] || ! cmp -s package-lock.json "$stamp"; then
    npm ci --no-audit --no-fund --loglevel=error
    cp package-lock.json "$stamp"
  fi
fi
