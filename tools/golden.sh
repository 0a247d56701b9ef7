#!/usr/bin/env bash
# Writes tests/golden/playthrough.txt anew from the game as it plays now. Run it
# after an intended change, then review `git diff tests/golden` and commit the
# file with the change.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release --target kelo_tests kelo-harness
KELO_WRITE_GOLDEN=1 build/release/tests/kelo_tests --gtest_filter='Golden.*' >/dev/null
git diff --stat -- tests/golden || true
