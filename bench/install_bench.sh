#!/usr/bin/env bash
# Installing three trees four ways in one run: "setup -a" from an installer
# that make_installer built, the same tree packed by makeself and extracted
# with --noexec --target, tar -xzf of the same tree, and as the floor of
# making the files at all tar -xf of it uncompressed. The trees:
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
# carries (the program, which the build strips, the fonts and data); and,
# over REPEATS rounds in which every way runs once in a shuffled order into
# an empty folder, the median wall-clock time and the median CPU time (user
# and system, the children that each way starts included) of each way, with
# each way's ratios to the installer (above 1: the installer is faster) and
# the load average over the rounds. Each installed tree is compared with its
# source (diff -r) after its first round.
#
# Users install onto disks, and a disk's own work is part of installing: the
# trees, targets and the installer's temporary folder lie under BENCH_DIR
# (default /var/tmp), which must not be a file system in memory.
#
#   bench/install_bench.sh [repeats] [tree ...]   (default 5, all three
#                                                  trees; the programs of
#                                                  $BUILD, default build/)
set -euo pipefail
cd "$(dirname "$0")/.."
REPEATS="${1:-5}"
shift || true
TREES=("$@")
[ ${#TREES[@]} -gt 0 ] || TREES=(small include synthetic)
BUILD="${BUILD:-build}"  # the build tree whose programs are measured

if ! command -v makeself >/dev/null; then
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends makeself
fi
cmake --build "$BUILD" --target setup make_installer >/dev/null

BENCH_DIR="${BENCH_DIR:-/var/tmp}"
case "$(stat -f -c %T "$BENCH_DIR")" in
  tmpfs | ramfs) echo "$BENCH_DIR is in memory: choose a folder on a disk with BENCH_DIR" >&2; exit 2 ;;
esac
WORK="$(mktemp -d "$BENCH_DIR/install_bench.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT
# The installer unpacks its data on the same disk.
mkdir "$WORK/tmp"
export TMPDIR="$WORK/tmp"

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

# Runs the ways given as "name<TAB>command..." lines in the file $1 in
# REPEATS rounds, each way once a round in a shuffled order, each into an
# empty $WORK/target; prints for each way its median wall-clock and CPU
# milliseconds and its ratios to the first way's, and the load average. A
# way's first installed tree is compared with $TREE. Earlier targets are
# moved aside, not deleted, while the rounds go on: a file system that has
# just deleted many files makes new ones more slowly for a while.
measure_ways() {
  python3 - "$1" "$REPEATS" "$WORK" "$TREE" <<'PY'
import os, random, shutil, statistics, subprocess, sys, time
repeats, work, tree = int(sys.argv[2]), sys.argv[3], sys.argv[4]
ways = [line.rstrip("\n").split("\t") for line in open(sys.argv[1]) if line.strip()]
target, aside = os.path.join(work, "target"), os.path.join(work, "done")
wall = {w[0]: [] for w in ways}
cpu = {w[0]: [] for w in ways}
loads = []
moved = 0
rng = random.Random(7)
for round_ in range(repeats):
    order = list(ways)
    rng.shuffle(order)
    for name, *command in order:
        if os.path.isdir(target):
            moved += 1
            os.rename(target, os.path.join(aside, str(moved)))
        os.mkdir(target)
        loads.append(os.getloadavg()[0])
        start = time.perf_counter()
        child = subprocess.Popen(command, stdout=subprocess.DEVNULL)
        _, status, usage = os.wait4(child.pid, 0)
        child.returncode = os.waitstatus_to_exitcode(status)
        wall[name].append((time.perf_counter() - start) * 1000)
        # The way's own CPU and that of every child it waited for.
        cpu[name].append((usage.ru_utime + usage.ru_stime) * 1000)
        if child.returncode != 0:
            sys.exit(f"{name} failed with status {child.returncode}")
        if round_ == 0:
            log = os.path.join(target, "install_log.txt")
            if os.path.exists(log): os.remove(log)
            if subprocess.run(["diff", "-r", tree, target], stdout=subprocess.DEVNULL).returncode:
                sys.exit(f"{name} installed a different tree")
shutil.rmtree(aside)
os.mkdir(aside)
first = ways[0][0]
w0, c0 = statistics.median(wall[first]), statistics.median(cpu[first])
print(f"  medians of {repeats} interleaved rounds (load average {min(loads):.1f} to {max(loads):.1f},"
      f" median {statistics.median(loads):.1f}, {os.cpu_count()} cores):")
for name, *_ in ways:
    w, c = statistics.median(wall[name]), statistics.median(cpu[name])
    ratios = "" if name == first else f"   {name} / {first}: wall {w / w0:.2f}, CPU {c / c0:.2f}"
    print(f"    {name:<10} wall {w:8.0f} ms  CPU {c:8.0f} ms{ratios}")
PY
}

# installer.txt and the installer for the tree in folder $1, as $2.
make_setup() {
  printf 'app = Bench\ninstallation = Bench | $ROOT1%s/target\nfiles = %s\nlanguage = English\n' \
    "$WORK" "$1" >"$WORK/installer.txt"
  # -a shows none of the wizard's texts: the builder's warnings about blank
  # ones are shown only when the build fails.
  "$BUILD/tools/installer/make_installer" "$WORK/installer.txt" "$BUILD/tools/installer/setup" "$2" \
    >/dev/null 2>"$WORK/builder.err" || { cat "$WORK/builder.err" >&2; exit 1; }
}

# What every installer carries whatever its files: the program, the fonts
# and the data, measured on an installer of one small file.
mkdir -p "$WORK/one" "$WORK/done"
echo "one" >"$WORK/one/file.txt"
make_setup "$WORK/one" "$WORK/setup_one"
fixed_bytes=$(stat -c %s "$WORK/setup_one")
bare_bytes=$(stat -c %s "$BUILD/tools/installer/setup")

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
  tar -cf "$WORK/tree.tar" -C "$TREE" .
  read -r pkg_bytes pkg_tree_bytes chunk_size block_size stored_pieces pieces < <(unpacked_size "$WORK/setup")
  setup_bytes=$(stat -c %s "$WORK/setup")
  makeself_bytes=$(stat -c %s "$WORK/tree.run")
  tar_bytes=$(stat -c %s "$WORK/tree.tar.gz")


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
  # One way a line: its name, then its command's words, separated by tabs.
  {
    printf 'setup\t%s\t-a\n' "$WORK/setup"
    printf 'makeself\t%s\t--quiet\t--noexec\t--nox11\t--target\t%s\n' "$WORK/tree.run" "$WORK/target"
    printf 'tar -xzf\ttar\t-xzf\t%s\t-C\t%s\n' "$WORK/tree.tar.gz" "$WORK/target"
    printf 'tar -xf\ttar\t-xf\t%s\t-C\t%s\n' "$WORK/tree.tar" "$WORK/target"
  } >"$WORK/ways"
  measure_ways "$WORK/ways"
  rm -rf "$TREE" "$WORK/target" "$WORK/done/"* "$WORK/setup" "$WORK/tree.run" "$WORK/tree.tar.gz" \
    "$WORK/tree.tar"
done
echo "Load after the run: $(cut -d' ' -f1-3 /proc/loadavg)"
