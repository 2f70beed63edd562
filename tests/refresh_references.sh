#!/usr/bin/env bash
# Writes the reference pictures under tests/references/ from what the
# picture tests render now, then runs the tests once more to compare with
# what was written. Only this command writes references: a normal test run
# compares with them and fails on any pixel that differs. Look at every
# picture that changed (git diff --stat tests/references) before committing.
#   tests/refresh_references.sh [ctest regex]   (default: every picture test)
set -euo pipefail
cd "$(dirname "$0")/.."
TESTS=(wizard_pictures_x11_test dialog_pictures_test skin_pages_pictures_test)
REGEX=${1:-WizardPictures|DialogPictures|SkinPagesPictures}
cmake --build build -j "${JOBS:-$(nproc)}" --target "${TESTS[@]}" setup make_installer
VORN_REFRESH_REFERENCES=1 ctest --test-dir build --output-on-failure -R "$REGEX" --timeout 600
ctest --test-dir build --output-on-failure -R "$REGEX" --timeout 600
