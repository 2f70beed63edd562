#!/usr/bin/env bash
# Builds everything (through the idempotent ./setup.sh), makes the demo
# installer from demo/ with make_installer and starts it on the current
# display. Without a display it installs a variant of the demo with -a into
# a folder under build/ instead, and says where.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh

OUT="$PWD/build/demo"
mkdir -p "$OUT"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  build/tools/installer/make_installer "$PWD/demo/installer.txt" \
    "$PWD/build/tools/installer/setup" "$OUT/demo-setup" >/dev/null
  echo "Starting the demo installer $OUT/demo-setup on $DISPLAY"
  exec "$OUT/demo-setup"
fi

# The variant installs under build/ and makes no desktop link, so that a
# run without a display never writes into the user's own folders.
TARGET="$OUT/installed"
rm -rf "$OUT/automatic"
cp -r "$PWD/demo" "$OUT/automatic"
awk -v folder="\$ROOT1$TARGET" '
  /^installation *=/ { sub(/\|.*/, "| " folder) }
  /^link *=/ { next }
  { print }' "$PWD/demo/installer.txt" > "$OUT/automatic/installer.txt"
build/tools/installer/make_installer "$OUT/automatic/installer.txt" \
  "$PWD/build/tools/installer/setup" "$OUT/demo-setup-automatic" >/dev/null
echo "No X display: installing the demo without a window (-a)."
"$OUT/demo-setup-automatic" -a
echo "The demo is installed in $TARGET (its log: $TARGET/install_log.txt)."
