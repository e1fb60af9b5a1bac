#!/usr/bin/env bash
# Cross-builds the Windows programs and tests (mingw-w64, static runtime),
# warnings as errors, into build-windows/ (or the folder given as $1).
# Installs the cross compiler and Wine when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-windows}

packages=(g++-mingw-w64-x86-64-posix wine wine64 xvfb cmake ninja-build)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "build-windows.sh: run as root to install: ${missing[*]}" >&2; exit 1; }
    sudo=sudo
  fi
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -gt 2 ] && jobs=2
cmake --no-warn-unused-cli -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DQUORVEL_WERROR=ON
cmake --build "$dir" -j "$jobs"
