#!/usr/bin/env bash
# Installs every Debian package the build and the tests need, then configures
# and builds both trees (normal and sanitizer). Safe to run again: apt-get
# skips what is present and the builds only redo what is out of date.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  cmake ninja-build g++ clang-14 libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
  pkg-config python3 libglib2.0-bin iproute2
  libx11-dev libxext-dev libxpm-dev libxxf86vm-dev libxtst-dev libgl-dev libgl1-mesa-dri
  libfreetype-dev libpng-dev libjpeg-dev zlib1g-dev libasound2-dev
  xvfb xdotool x11-utils x11-apps xdg-utils desktop-file-utils menu fonts-dejavu-core fonts-dejavu-extra imagemagick
  libxml2-utils
)

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

./build.sh
