#!/usr/bin/env bash
# Builds the release artifacts from the checkout into dist/: the Debian package
# of the Linux programs (Release, stripped, hardened with Debian's build flags).
# Installs what is missing. Usage: bash scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
out=$PWD/dist
mkdir -p "$out"

echo "== Debian package =="
linux=build-release
# Debian's build flags: -O2 with fortify, stack protector, relro.
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  cmake -S . -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
    -DQUORVEL_BUILD_TESTS=OFF -DQUORVEL_WERROR=ON
cmake --build "$linux" -j "$jobs"
rm -f "$out"/quorvel_*.deb
(cd "$linux" && cpack -G DEB -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
ls -l "$out"/quorvel_*.deb
