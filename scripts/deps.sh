#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Quorvel
# need, when any of them is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libcanberra-dev libglib2.0-dev
  libgtest-dev desktop-file-utils clang-format
  fonts-ipafont-gothic
  libssl-dev openssl
  libcurl4-openssl-dev nlohmann-json3-dev libsecret-1-dev gnome-keyring
  dovecot-core dovecot-pop3d curl
  libxcb1-dev
  xvfb trayer xdotool imagemagick dbus x11-utils
  gnome-shell gnome-shell-extension-appindicator
  at-spi2-core python3-pyatspi
  xfce4-panel hicolor-icon-theme sound-theme-freedesktop
  sway waybar
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "deps.sh: run as root to install: ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
# The mail server is only started by the tests themselves; keep the package
# scripts from starting the system-wide one.
DEBIAN_FRONTEND=noninteractive RUNLEVEL=1 $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
