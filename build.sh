#!/usr/bin/env bash
# Configures (once) and builds the normal tree in build/ and the
# AddressSanitizer + UndefinedBehaviorSanitizer tree in build-asan/.
set -euo pipefail
cd "$(dirname "$0")"
JOBS=${JOBS:-$(nproc)}

if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build -j "$JOBS"

if [ ! -f build-asan/build.ninja ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVORN_SANITIZE=ON
fi
cmake --build build-asan -j "$JOBS"
