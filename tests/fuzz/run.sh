#!/usr/bin/env bash
# Builds the fuzz tree (clang-14, libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer) when needed and runs every fuzz target for a
# bounded time each (FUZZ_SECONDS, default 40), starting from its seeds: the
# files in tests/fuzz/seeds/<name>/ and whatever its seed maker
# (<name>_seeds, e.g. valid archives made by the archive code itself)
# writes. Exits non-zero when the build fails or a target finds a crash, a
# hang or a leak; the input that did it is kept in build-fuzz/artifacts.
set -euo pipefail
cd "$(dirname "$0")/../.."

BUILD=build-fuzz
SECONDS_EACH=${FUZZ_SECONDS:-40}
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S tests/fuzz -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
fi
cmake --build "$BUILD" -j "${JOBS:-$(nproc)}"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$BUILD/artifacts"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

status=0
for source in tests/fuzz/*_fuzz.cpp; do
  target=$(basename "$source" .cpp)
  name=${target%_fuzz}
  corpus="$WORK/$name/corpus"
  made="$WORK/$name/made"
  mkdir -p "$corpus" "$made"
  seeds=("$corpus")
  if [ -x "$BUILD/${name}_seeds" ]; then
    "$BUILD/${name}_seeds" "$made"
    seeds+=("$made")
  fi
  if [ -d "tests/fuzz/seeds/$name" ]; then seeds+=("tests/fuzz/seeds/$name"); fi
  # Installer data and skin blocks carry 18 stored style sets of about 2 KiB
  # each; a template store has four before its arrays.
  max_len=8192
  if [ "$name" = database ] || [ "$name" = skin_block ] || [ "$name" = template_stream ]; then max_len=65536; fi
  echo "== fuzzing $name for ${SECONDS_EACH}s =="
  if ! "$BUILD/$target" -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 -timeout=20 \
      -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$BUILD/artifacts/$name-" \
      "${seeds[@]}"; then
    echo "fuzz target $target failed" >&2
    status=1
  fi
done
exit $status
