#!/usr/bin/env bash
# Builds everything (through the idempotent ./setup.sh), makes the demo
# installer from demo/ with make_installer and starts it on the current
# display. Without a display it says so and where the built installer is.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh

OUT="$PWD/build/demo"
mkdir -p "$OUT"
build/tools/installer/make_installer "$PWD/demo/installer.txt" \
  "$PWD/build/tools/installer/setup" "$OUT/demo-setup" >/dev/null

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "Starting the demo installer $OUT/demo-setup on $DISPLAY"
  exec "$OUT/demo-setup"
fi
echo "No X display to show the demo installer on."
echo "It was built at $OUT/demo-setup; start it with DISPLAY set."
echo "(Installing without a window, -a, comes with the install worker.)"
