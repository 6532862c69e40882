#!/usr/bin/env bash
# Installs the Debian packages Kelvarn needs to build, run and test, and only those missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools libgl-dev libsqlite3-dev sqlite3 mdbtools-dev libsodium-dev
  fonts-wqy-microhei fonts-noto-cjk
  qt6-wayland
  xvfb xdotool x11-utils trayer openbox imagemagick python3-xlib python3-dbus
  dbus systemd xfce4-panel xfconf sway xwayland waybar
  libxcb1-dev
  desktop-file-utils
  syncthing
  python3 unicode-data
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
