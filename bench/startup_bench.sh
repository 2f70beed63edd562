#!/usr/bin/env bash
# The installer's start-up as a user sees it: from starting the program to
# the first presented frame that shows the wizard's first page, and on to
# the moment that page rests, on a private Xvfb. The program tells its
# stages on its "Installer Start-up" debug channel (--vorn-showdebug); each
# line is timed here as it arrives, counted from the moment the program was
# started. Any installer will do: by default the demo, made from demo/ with
# the programs of build/.
#
#   bench/startup_bench.sh [runs] [installer]      (default 5 runs)
#
# Printed: the median time of each stage and the part between it and the
# stage before, over the runs (one warm-up run first), and as the
# reference measured in the same run the time of "installer -h" (starting
# the program, printing its usage, ending it). The stages: the splash on
# screen (program start, fonts, the splash window), the data unpacked and
# loaded, the main window open, the first page built, the first presented
# frame that shows the wizard's dialog, some of its pixels lit (the first
# page fades in from black over 700 ms with its dialog in place, so this is
# an early step of that fade), and the wizard at rest (the fade, and any
# opening effect of the dialog, done).
#
# Without an installer named, the demo is measured twice: with about 1 MB
# and with about 100 MB of payload (the demo's files and added data: half of
# the payload from bytes that do not deflate, half from text-like bytes that
# deflate about fourfold), so that what unpacking costs per MB shows beside
# what every start costs.
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS="${1:-5}"
INSTALLERS=("${@:2}")

WORK="$(mktemp -d "${TMPDIR:-/tmp}/startup_bench.XXXXXX")"
XVFB_PID=""
cleanup() {
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT

# The demo with about $1 MB of payload, as $WORK/demo-$1MB.
make_demo() {
  local demo="$WORK/demo-$1"
  cp -a demo "$demo"
  python3 - "$demo/files" "$1" <<'PY'
import os, random, sys
folder, mb = sys.argv[1], float(sys.argv[2])
rng = random.Random(49)
half = int(mb * 1e6 / 2)
with open(os.path.join(folder, "stored.bin"), "wb") as out:
    out.write(rng.randbytes(half))
words = [b"install", b"folder", b"package", b"chunk", b"window", b"skin", b"file", b"log", b"menu"]
lines = [b" ".join(rng.choice(words) for _ in range(8)) + b" %d\n" % rng.getrandbits(40)
         for _ in range(200000)]
text = bytearray()
while len(text) < 4 * half:
    text += b"".join(rng.choices(lines, k=1000))
with open(os.path.join(folder, "notes.log"), "wb") as out:
    out.write(text[:4 * half])
PY
  build/tools/installer/make_installer "$demo/installer.txt" build/tools/installer/setup \
    "$WORK/demo-${1}MB" >/dev/null
  rm -rf "$demo"
}

if [ ${#INSTALLERS[@]} -eq 0 ]; then
  cmake --build build --target setup make_installer >/dev/null
  for mb in 1 100; do
    make_demo "$mb"
    INSTALLERS+=("$WORK/demo-${mb}MB")
  done
fi

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$WORK/display" >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 1 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$WORK/display")"

STAGES=("splash shown" "data unpacked" "data loaded" "window open" "page built"
        "first wizard frame" "wizard at rest")

# Milliseconds (with a tenth) between two $EPOCHREALTIME readings.
ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", (b - a) * 1000 }'; }

# One run: prints "<stage>=<ms>" for every stage seen. Each line's time is
# taken as it arrives and worked out only after the run, so that no
# reckoning delays the reading of the lines that follow. The program is
# ended once its page rests (or after 20 s); a killed run cannot remove its
# temporary folder, so that goes here.
run_once() {
  local start line pid folder
  local -a seen=()
  start=$EPOCHREALTIME
  coproc RUN { exec "$INSTALLER" "--vorn-showdebug=$CHANNEL" 2>/dev/null; }
  pid=$RUN_PID
  while IFS= read -r -t 20 line <&"${RUN[0]}"; do
    case "$line" in
      "start-up: "*) seen+=("${line#start-up: }=$EPOCHREALTIME") ;;
    esac
    [ "$line" = "start-up: wizard at rest" ] && break
  done
  for line in "${seen[@]}"; do echo "${line%=*}=$(ms "$start" "${line##*=}")"; done
  folder=$(for fd in /proc/"$pid"/fd/*; do readlink "$fd" 2>/dev/null; done |
    sed -n 's|/installer.pkg$||p' | head -n1)
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  case "$folder" in /*) rm -rf -- "$folder" ;; esac
}

reference_once() {
  local start
  start=$EPOCHREALTIME
  "$INSTALLER" -h >/dev/null 2>&1 || true
  ms "$start" "$EPOCHREALTIME"
}

for INSTALLER in "${INSTALLERS[@]}"; do
  INSTALLER="$(realpath "$INSTALLER")"
  # The listing ends the program with the status of a console mode.
  CHANNEL=$("$INSTALLER" --vorn-listdebug | awk '/ Installer Start-up$/ { print $1 }' || true)
  [ -n "$CHANNEL" ] || { echo "$INSTALLER has no start-up channel" >&2; exit 1; }

  run_once >/dev/null  # warm-up: the program file and the libraries in the page cache
  : >"$WORK/times"
  for _ in $(seq 1 "$RUNS"); do
    run_once >>"$WORK/times"
    echo "reference=$(reference_once)" >>"$WORK/times"
  done

  median() {
    sed -n "s/^$1=//p" "$WORK/times" | sort -n |
      awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2];
                                else printf "%.1f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
  }

  echo "Installer start-up on a private Xvfb, median of $RUNS runs ($(nproc) cores," \
    "load $(cut -d' ' -f1-3 /proc/loadavg)):"
  echo "  $(basename "$INSTALLER"), $(stat -c %s "$INSTALLER") bytes"
  printf '  %-20s %10s %10s\n' "stage" "from start" "part"
  previous=0
  for stage in "${STAGES[@]}"; do
    at=$(median "$stage")
    if [ "$at" = "-" ]; then
      printf '  %-20s %10s\n' "$stage" "not seen"
      continue
    fi
    printf '  %-20s %7s ms %7s ms\n' "$stage" "$at" "$(awk -v a="$at" -v b="$previous" 'BEGIN { printf "%.1f", a - b }')"
    previous=$at
  done
  reference=$(median reference)
  first=$(median "first wizard frame")
  printf '  reference: "%s -h" %s ms' "$(basename "$INSTALLER")" "$reference"
  if [ "$first" != "-" ]; then
    awk -v a="$first" -v r="$reference" 'BEGIN { printf "; first wizard frame = %.1f x the reference\n", a / r }'
  else
    echo
  fi
done
