#!/usr/bin/env bash
# Builds the release artifacts from the checkout into dist/, in Release mode with
# symbols stripped:
#   quorvel_<version>-1_amd64.deb   the Debian package of the Linux programs
#   quorvel-<version>-setup.exe     the Windows installer (per user, no admin rights)
#   quorvel-<version>-windows.zip   quorvel.exe, quorvel-check.exe, a read-me and the licence
# Installs what is missing. Usage: bash scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
packages=(g++-mingw-w64-x86-64-posix nsis)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
version=$(sed -n 's/^project(Quorvel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

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

echo "== Windows programs =="
# The same folder and options as scripts/build-windows.sh, so a tested Windows
# build is packaged as it is; only the two programs are built here.
windows=build-windows
cmake --no-warn-unused-cli -S . -B "$windows" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DQUORVEL_WERROR=ON >/dev/null
cmake --build "$windows" -j "$jobs" --target quorvel quorvel-check
stage=$windows/stage
rm -rf "$stage" && mkdir -p "$stage/quorvel-$version"
x86_64-w64-mingw32-strip -o "$stage/quorvel-$version/quorvel.exe" "$windows/gui/win32/quorvel.exe"
x86_64-w64-mingw32-strip -o "$stage/quorvel-$version/quorvel-check.exe" "$windows/app/quorvel-check.exe"
# The read-me and the licence in Windows line ends (the installer shows the
# licence on its licence page and installs it beside the programs).
sed 's/$/\r/' resources/installer/README.txt >"$stage/quorvel-$version/README.txt"
sed 's/$/\r/' LICENSE >"$stage/quorvel-$version/LICENSE.txt"

echo "== Windows zip =="
rm -f "$out/quorvel-$version-windows.zip"
(cd "$stage" && cmake -E tar cf "$out/quorvel-$version-windows.zip" --format=zip "quorvel-$version")

echo "== Windows installer =="
makensis -V2 -DVERSION="$version" -DVERSION4="$version.0" -DPROGRAMS="$PWD/$stage/quorvel-$version" \
  -DICON="$PWD/resources/windows/quorvel.ico" -DOUTFILE="$out/quorvel-$version-setup.exe" \
  resources/installer/quorvel.nsi
ls -l "$out"
