#!/usr/bin/env bash
# Installs every Debian package the build and the tests need, then configures
# and builds both trees (normal and sanitizer). Safe to run again: apt-get
# skips what is present and the builds only redo what is out of date.
#
# ./setup.sh --demo installs only the packages that building and running the
# programs need, and builds only the installer program and its builder,
# optimised and stripped, in build-demo/ (what ./run-demo.sh needs).
set -euo pipefail
cd "$(dirname "$0")"

MODE=all
case "${1:-}" in
  "") ;;
  --demo) MODE=demo ;;
  *) echo "usage: $0 [--demo]" >&2; exit 2 ;;
esac

PACKAGES=(
  cmake ninja-build g++ clang-14 libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
  pkg-config python3 libglib2.0-bin iproute2
  libx11-dev libxext-dev libxpm-dev libxxf86vm-dev libxtst-dev libxkbcommon-dev libgl-dev libgl1-mesa-dri
  libfreetype-dev libpng-dev libjpeg-dev zlib1g-dev libdeflate-dev libasound2-dev
  xvfb xdotool x11-utils x11-apps xdg-utils desktop-file-utils menu fonts-dejavu-core fonts-dejavu-extra imagemagick
  libxml2-utils
)
# What only the tests, the benchmarks and the fuzzers use; the demo goes
# without them.
TEST_ONLY=(
  clang-14 libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev python3 libglib2.0-bin
  iproute2 libxtst-dev xvfb xdotool x11-apps imagemagick libxml2-utils
)

wanted=("${PACKAGES[@]}")
if [ "$MODE" = demo ]; then
  wanted=()
  for p in "${PACKAGES[@]}"; do
    case " ${TEST_ONLY[*]} " in *" $p "*) ;; *) wanted+=("$p") ;; esac
  done
fi

# One query for the whole list: a package that is not known at all is
# missing as well.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${wanted[@]}" 2>/dev/null |
  awk '$NF == "installed" { print $1 }' || true)
missing=()
for p in "${wanted[@]}"; do
  if ! grep -qx -- "$p" <<<"$installed"; then missing+=("$p"); fi
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

if [ "$MODE" = demo ]; then
  # Optimised as the tested tree is, without debug information and without
  # the tests and benchmarks.
  if [ ! -f build-demo/build.ninja ]; then
    cmake -S . -B build-demo -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DVORN_TESTS=OFF -DVORN_BENCH=OFF >/dev/null
  fi
  cmake --build build-demo -j "${JOBS:-$(nproc)}" --target setup make_installer
  exit 0
fi

./build.sh
