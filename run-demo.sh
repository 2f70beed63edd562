#!/usr/bin/env bash
# Installs the Debian packages the programs need and builds only the
# installer program and its builder, optimised and stripped, in build-demo/
# (./setup.sh --demo), makes the demo installer from demo/ with
# make_installer and starts it on the current display. Without a display it
# installs a variant of the demo with -a into a folder under build-demo/
# instead, and says where. A second run rebuilds nothing and makes the demo
# installer again only when the programs or demo/ changed.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh --demo

TOOLS="$PWD/build-demo/tools/installer"
OUT="$PWD/build-demo/demo"
mkdir -p "$OUT"

# make_installer description output: skipped while the output is newer than
# the programs and everything in the description's folder.
make_demo() {
  local description=$1 output=$2
  if [ -f "$output" ] && [ -z "$(find "$TOOLS/setup" "$TOOLS/make_installer" \
       "$(dirname "$description")" -newer "$output" -print -quit)" ]; then
    return
  fi
  "$TOOLS/make_installer" "$description" "$TOOLS/setup" "$output" >/dev/null
}

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  make_demo "$PWD/demo/installer.txt" "$OUT/demo-setup"
  echo "Starting the demo installer $OUT/demo-setup on $DISPLAY"
  exec "$OUT/demo-setup"
fi

# The variant installs under build-demo/ and makes no desktop link, so that
# a run without a display never writes into the user's own folders.
TARGET="$OUT/installed"
if [ ! -d "$OUT/automatic" ] || [ -n "$(find "$PWD/demo" -newer "$OUT/automatic/installer.txt" -print -quit)" ]; then
  rm -rf "$OUT/automatic"
  cp -r "$PWD/demo" "$OUT/automatic"
  awk -v folder="\$ROOT1$TARGET" '
    /^installation *=/ { sub(/\|.*/, "| " folder) }
    /^link *=/ { next }
    { print }' "$PWD/demo/installer.txt" > "$OUT/automatic/installer.txt"
fi
make_demo "$OUT/automatic/installer.txt" "$OUT/demo-setup-automatic"
echo "No X display: installing the demo without a window (-a)."
"$OUT/demo-setup-automatic" -a
echo "The demo is installed in $TARGET (its log: $TARGET/install_log.txt)."
