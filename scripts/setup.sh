#!/usr/bin/env bash
# Installs what building, running and testing Quellmark need, from Debian's archive. Quick when
# everything is there already.
set -euo pipefail
packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format clang-tidy libgtest-dev libssl-dev
  dash busybox shellcheck
  qt6-base-dev libgl-dev libcli11-dev
  xvfb xauth xdotool x11-utils imagemagick
  dbus-bin dbus-daemon at-spi2-core python3-pyatspi
  shared-mime-info libglib2.0-bin desktop-file-utils
  help2man man-db dpkg-dev file lintian appstream
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
