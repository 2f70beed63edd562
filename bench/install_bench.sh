#!/usr/bin/env bash
# Installing three trees three ways in one run: "setup -a" from an installer
# that make_installer built, the same tree packed by makeself and extracted
# with --noexec --target, and tar -xzf of the same tree. The trees:
#   small     5,000 small files (mostly below 4 KB, a few up to 64 KB),
#             text-like, in 100 folders
#   include   a copy of this machine's /usr/include (links, and folders that
#             held only links, left out)
#   synthetic 2,000 files, about 200 MB, sizes mixed from a few bytes to a
#             few megabytes, half text-like and half binary-like that
#             deflates to about three quarters
# For each tree it prints the size that installer.pkg takes when unpacked
# and what the tree's files take in it against the tree's own bytes; the
# installer file's size against makeself's, also less what every installer
# carries (the program, which the build strips, the fonts and data); and the
# median time of REPEATS runs of each way into an empty folder with the
# ratios to the installer. Each installed tree is compared with its source
# (diff -r).
#
#   bench/install_bench.sh [repeats] [tree ...]   (default 5, all three
#                                                  trees; needs build/ built)
set -euo pipefail
cd "$(dirname "$0")/.."
REPEATS="${1:-5}"
shift || true
TREES=("$@")
[ ${#TREES[@]} -gt 0 ] || TREES=(small include synthetic)

if ! command -v makeself >/dev/null; then
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends makeself
fi
cmake --build build --target setup make_installer >/dev/null

# The trees and targets lie in memory where there is room (/dev/shm), so
# that the disk's own state does not decide the times; BENCH_DIR chooses
# another folder. Users install onto disks: measure there too, e.g. with
# BENCH_DIR=/var/tmp.
if [ -z "${BENCH_DIR:-}" ]; then
  BENCH_DIR="${TMPDIR:-/tmp}"
  if [ -d /dev/shm ] && [ "$(df --output=avail -k /dev/shm | tail -1)" -gt 4000000 ]; then
    BENCH_DIR=/dev/shm
  fi
fi
WORK="$(mktemp -d "$BENCH_DIR/install_bench.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT

# ---- the trees, the same on every run --------------------------------------

make_small() {
  python3 - "$1" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(2031)
words = [b"static", b"const", b"return", b"struct", b"include", b"value", b"size",
         b"name", b"folder", b"install", b"if", b"for", b"int32_t", b"(", b")", b";"]
for i in range(5000):
    size = max(10, min(int(rng.lognormvariate(7.0, 1.1)), 65536))
    folder = os.path.join(root, "m%02d" % (i % 100))
    os.makedirs(folder, exist_ok=True)
    text = bytearray()
    while len(text) < size:
        text += b" ".join(rng.choice(words) for _ in range(rng.randint(3, 12))) + b"\n"
    with open(os.path.join(folder, "file%04d.txt" % i), "wb") as out:
        out.write(text[:size])
PY
}

make_include() {
  cp -a /usr/include "$1"
  # Folders that hold only links go with the links; folders that were empty
  # to begin with stay.
  find "$1" -depth -type d -empty >"$WORK/empty_before"
  find "$1" -type l -delete
  # A folder emptied this way may leave its parent empty in turn.
  while find "$1" -depth -type d -empty | grep -vxF -f "$WORK/empty_before" >"$WORK/emptied"; do
    xargs -d '\n' rmdir <"$WORK/emptied"
  done
}

make_synthetic() {
  python3 - "$1" <<'PY'
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
}

# What installer.pkg holds once the installer has unpacked it (the order
# byte and every piece of the payload behind the program, inflated where it
# is deflated): prints its size, the bytes that the tree's files take in it
# (their records and blocks; the rest are the fonts and database.bin), the
# chunk size, the block size, and how many of all pieces are stored as they
# are.
unpacked_size() {
  python3 - "$1" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
table, = struct.unpack_from("<Q", data, 0x28)
entry_size, entries = struct.unpack_from("<HH", data, 0x3A)
at = table + entry_size * entries
assert data[at] == 0, "bench installers carry no splash record"
chunk_size, form, package_length = struct.unpack_from(">IBI", data, at + 1)
assert form in (0x43, 0x44), "a payload whose pieces carry checks"
at += 1 + 13
pieces = [b"\0"]
stored = 0
while at < len(data):
    flag, length = struct.unpack_from(">BI", data, at)
    at += 9
    piece = data[at:at + length]
    pieces.append(zlib.decompress(piece) if flag else piece)
    stored += length > 0 and not flag
    at += length
package = b"".join(pieces)
assert len(package) == package_length + 1
block_size, directory = struct.unpack_from("<II", package, 1 + 10)
name_length, = struct.unpack_from("<I", package, 1 + directory)
record, = struct.unpack_from("<I", package, 1 + directory + 4 + name_length)
tree = 0
while record:
    name_length, = struct.unpack_from("<I", package, 1 + record)
    name = package[1 + record + 4:1 + record + 4 + name_length]
    next_record, size = struct.unpack_from("<II", package, 1 + record + 4 + name_length + 8)
    if not (name.endswith(b".ttf") or name == b"database.bin"):
        tree += 4 + name_length + 16 + max(1, -(-size // block_size)) * (block_size + 8)
    record = next_record
print(len(package), tree, chunk_size, block_size, stored, len(pieces) - 1)
PY
}

now() { date +%s%N; }
# Median of REPEATS timed runs (milliseconds) of the command, each into an
# empty target. Earlier targets are moved aside, not deleted, while the runs
# go on: a file system that has just deleted many files makes new ones
# more slowly for a while.
measure() {
  local times=()
  for run in $(seq "$REPEATS"); do
    if [ -d "$WORK/target" ]; then mv "$WORK/target" "$WORK/done/$run"; fi
    mkdir "$WORK/target"
    local start end
    start=$(now)
    "$@" >/dev/null
    end=$(now)
    times+=($(((end - start) / 1000000)))
  done
  rm -rf "$WORK/done/"*
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((REPEATS + 1) / 2))p"
}

# The last install of a way ($1) must be the tree $TREE (the installer
# leaves its log beside the files).
same_tree() {
  rm -f "$WORK/target/install_log.txt"
  diff -r "$TREE" "$WORK/target" >/dev/null || { echo "$name: $1 installed a different tree"; exit 1; }
}

# installer.txt and the installer for the tree in folder $1, as $2.
make_setup() {
  printf 'app = Bench\ninstallation = Bench | $ROOT1%s/target\nfiles = %s\nlanguage = English\n' \
    "$WORK" "$1" >"$WORK/installer.txt"
  build/tools/installer/make_installer "$WORK/installer.txt" build/tools/installer/setup "$2" \
    >/dev/null
}

# What every installer carries whatever its files: the program, the fonts
# and the data, measured on an installer of one small file.
mkdir -p "$WORK/one" "$WORK/done"
echo "one" >"$WORK/one/file.txt"
make_setup "$WORK/one" "$WORK/setup_one"
fixed_bytes=$(stat -c %s "$WORK/setup_one")
bare_bytes=$(stat -c %s build/tools/installer/setup)

echo "Work folder: $WORK; the installer unpacks into $(dirname "$(mktemp -u)")"
echo "Load before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Every installer carries $bare_bytes bytes of program and" \
  "$((fixed_bytes - bare_bytes)) bytes of fonts and data whatever its files (an installer of one file)."
for name in "${TREES[@]}"; do
  TREE="$WORK/$name"
  "make_$name" "$TREE"
  files=$(find "$TREE" -type f | wc -l)
  tree_bytes=$(find "$TREE" -type f -printf '%s\n' | awk '{s += $1} END {print s}')

  build_start=$(now)
  make_setup "$TREE" "$WORK/setup"
  build_ms=$((($(now) - build_start) / 1000000))
  makeself --quiet "$TREE" "$WORK/tree.run" "bench tree" true >/dev/null
  tar -czf "$WORK/tree.tar.gz" -C "$TREE" .
  read -r pkg_bytes pkg_tree_bytes chunk_size block_size stored_pieces pieces < <(unpacked_size "$WORK/setup")
  setup_bytes=$(stat -c %s "$WORK/setup")
  makeself_bytes=$(stat -c %s "$WORK/tree.run")
  tar_bytes=$(stat -c %s "$WORK/tree.tar.gz")

  installer_ms=$(measure "$WORK/setup" -a)
  same_tree "setup -a"
  makeself_ms=$(measure "$WORK/tree.run" --quiet --noexec --nox11 --target "$WORK/target")
  same_tree makeself
  tar_ms=$(measure tar -xzf "$WORK/tree.tar.gz" -C "$WORK/target")
  same_tree tar

  echo "== $name: $files files, $tree_bytes bytes; block size $block_size, chunk size" \
    "$chunk_size ($stored_pieces of $pieces pieces stored as they are); built in $build_ms ms"
  awk -v p="$pkg_bytes" -v pt="$pkg_tree_bytes" -v t="$tree_bytes" -v s="$setup_bytes" \
    -v f="$fixed_bytes" -v m="$makeself_bytes" -v z="$tar_bytes" 'BEGIN {
    printf "  installer.pkg unpacked   %11d bytes\n", p
    printf "    the tree'"'"'s files in it %11d bytes = %.3f x the tree (target at most 1.25)\n", pt, pt / t
    printf "  installer file           %11d bytes = %.3f x makeself (target at most 1.1)\n", s, s / m
    printf "    less what every installer carries %d bytes = %.3f x makeself\n", s - f, (s - f) / m
    printf "  makeself file            %11d bytes\n", m
    printf "  tar.gz file              %11d bytes\n", z
  }'
  echo "  median of $REPEATS runs: setup -a ${installer_ms} ms, makeself --target ${makeself_ms} ms," \
    "tar -xzf ${tar_ms} ms"
  awk -v i="$installer_ms" -v m="$makeself_ms" -v t="$tar_ms" 'BEGIN {
    printf "  makeself / installer = %.2f (above 1: the installer is faster)\n", m / i
    printf "  tar / installer      = %.2f\n", t / i
  }'
  rm -rf "$TREE" "$WORK/target" "$WORK/done/"* "$WORK/setup" "$WORK/tree.run" "$WORK/tree.tar.gz"
done
echo "Load after the run: $(cut -d' ' -f1-3 /proc/loadavg)"
