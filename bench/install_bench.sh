#!/usr/bin/env bash
# Installing a tree of 2,000 files (about 200 MB, sizes mixed from a few
# bytes to a few megabytes, half of them text-like and half binary-like that
# deflates to about three quarters)
# three ways in one run: "setup -a" from an installer that make_installer
# built, the same tree packed by makeself and extracted with --target, and
# tar -xzf of the same tree. Each is run REPEATS times into an empty folder;
# the median times and their ratios to the installer are printed.
#
#   bench/install_bench.sh [repeats]     (default 5; needs build/ built)
set -euo pipefail
cd "$(dirname "$0")/.."
REPEATS="${1:-5}"

if ! command -v makeself >/dev/null; then
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends makeself
fi
cmake --build build --target setup make_installer >/dev/null

WORK="$(mktemp -d "${TMPDIR:-/tmp}/install_bench.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT
TREE="$WORK/tree"

# The tree, the same on every run.
python3 - "$TREE" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(2026)
# Mostly 32 byte values with the others now and then, as in program files.
binary = bytes((v & 0x1F) if v < 240 else v for v in range(256))
words = [b"install", b"folder", b"package", b"chunk", b"window", b"skin", b"file", b"log"]
sizes = [int(rng.lognormvariate(9.6, 1.6)) for _ in range(2000)]
scale = 200e6 / sum(sizes)
for i, size in enumerate(sizes):
    size = max(1, min(int(size * scale), 8_000_000))
    folder = os.path.join(root, "d%02d" % (i % 40), "s%d" % (i % 3))
    os.makedirs(folder, exist_ok=True)
    if i % 2:
        data = rng.randbytes(size).translate(binary)
    else:
        line = b" ".join(rng.choice(words) for _ in range(12)) + b"\n"
        data = (line * (size // len(line) + 1))[:size]
    with open(os.path.join(folder, "f%04d.dat" % i), "wb") as out:
        out.write(data)
PY
echo "Tree: $(find "$TREE" -type f | wc -l) files, $(du -sm "$TREE" | cut -f1) MB"

# The three packed forms.
printf 'app = Bench\ninstallation = Bench | $ROOT1%s/target\nfiles = %s\nlanguage = English\n' \
  "$WORK" "$TREE" > "$WORK/installer.txt"
build/tools/installer/make_installer "$WORK/installer.txt" build/tools/installer/setup \
  "$WORK/setup" >/dev/null
makeself --quiet "$TREE" "$WORK/tree.run" "bench tree" true >/dev/null
tar -czf "$WORK/tree.tar.gz" -C "$TREE" .
ls -l "$WORK/setup" "$WORK/tree.run" "$WORK/tree.tar.gz" | awk '{printf "  %-12s %6.1f MB\n", $NF, $5 / 1e6}' |
  sed "s|$WORK/||"

now() { date +%s%N; }
# Median of REPEATS timed runs (milliseconds) of the command, into an empty
# target each time.
measure() {
  local times=()
  for _ in $(seq "$REPEATS"); do
    rm -rf "$WORK/target"
    mkdir "$WORK/target"
    local start end
    start=$(now)
    "$@" >/dev/null
    end=$(now)
    times+=($(((end - start) / 1000000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((REPEATS + 1) / 2))p"
}

installer=$(measure "$WORK/setup" -a)
[ "$(find "$WORK/target" -type f -name 'f*.dat' | wc -l)" = 2000 ] || { echo "installer run incomplete"; exit 1; }
makeself_ms=$(measure "$WORK/tree.run" --quiet --noexec --nox11 --target "$WORK/target")
tar_ms=$(measure tar -xzf "$WORK/tree.tar.gz" -C "$WORK/target")

echo "Median of $REPEATS runs:"
echo "  setup -a           ${installer} ms"
echo "  makeself --target  ${makeself_ms} ms"
echo "  tar -xzf           ${tar_ms} ms"
awk -v i="$installer" -v m="$makeself_ms" -v t="$tar_ms" 'BEGIN {
  printf "makeself / installer = %.2f (at least 1 means the installer is as fast or faster)\n", m / i
  printf "tar / installer      = %.2f\n", t / i
}'
