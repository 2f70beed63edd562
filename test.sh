#!/usr/bin/env bash
# Installs what is missing and builds what is out of date, starts a private
# Xvfb, and runs the whole test suite in the normal tree and in the
# sanitizer tree. Exits non-zero on any failure; the X server is stopped on
# exit whatever happens.
set -uo pipefail
cd "$(dirname "$0")"

# setup.sh installs any missing Debian package and builds both trees; on a
# machine that has everything it only rebuilds what is out of date.
./setup.sh || { echo "set-up or build failed" >&2; exit 1; }

XVFB_PID=""
cleanup() {
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null; fi
  rm -f "${DISPLAY_FILE:-}"
}
trap cleanup EXIT INT TERM

# Xvfb picks a free display number itself and writes it to the descriptor.
DISPLAY_FILE=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$DISPLAY_FILE" >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 1 100); do
  [ -s "$DISPLAY_FILE" ] && break
  sleep 0.1
done
if [ ! -s "$DISPLAY_FILE" ]; then echo "Xvfb did not start" >&2; exit 1; fi
export DISPLAY=":$(head -n1 "$DISPLAY_FILE")"
echo "Xvfb running on $DISPLAY"

# Leak checks stay on; reports that lie wholly inside system libraries are
# suppressed in tests/lsan.supp, each with its reason.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

JOBS=${JOBS:-$(nproc)}
status=0
for tree in build build-asan; do
  echo "== ctest in $tree =="
  if ! ctest --test-dir "$tree" --output-on-failure -j "$JOBS" --timeout 300; then
    status=1
  fi
done

# The sound mixer and the payload unpacker are the program's only second
# threads: their tests also run under ThreadSanitizer, in a small tree that
# builds nothing else.
echo "== sound and unpacking tests under ThreadSanitizer =="
TSAN_TESTS=(sound_test unpack_payload_test)
if { [ -f build-tsan/build.ninja ] || cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
       -DVORN_BENCH=OFF -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread; } &&
   cmake --build build-tsan -j "$JOBS" --target "${TSAN_TESTS[@]}"; then
  for test in "${TSAN_TESTS[@]}"; do
    TSAN_OPTIONS="halt_on_error=1" "build-tsan/tests/$test" --gtest_brief=1 || status=1
  done
else
  status=1
fi

# Bounded fuzzing runs, when the fuzz targets were built.
if [ -x tests/fuzz/run.sh ]; then
  tests/fuzz/run.sh || status=1
fi
exit $status
