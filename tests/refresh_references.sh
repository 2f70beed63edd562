#!/usr/bin/env bash
# Writes the reference pictures under tests/references/ from what the
# picture tests render now, then runs the tests once more to compare with
# what was written. Only this command writes references: a normal test run
# compares with them and fails on any pixel that differs. Look at every
# picture that changed (git diff --stat tests/references) before committing.
#   tests/refresh_references.sh [ctest regex]   (default: every test, as
#   widget tests compare their own reference pictures too)
set -euo pipefail
cd "$(dirname "$0")/.."
REGEX=(${1:+-R "$1"})
cmake --build build -j "${JOBS:-$(nproc)}"
VORN_REFRESH_REFERENCES=1 ctest --test-dir build -j "${JOBS:-$(nproc)}" --output-on-failure "${REGEX[@]}" --timeout 600
ctest --test-dir build -j "${JOBS:-$(nproc)}" --output-on-failure "${REGEX[@]}" --timeout 600
