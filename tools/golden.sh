#!/usr/bin/env bash
# Writes tests/golden/playthrough.txt and the levels' replays level-N.rep anew
# from the game as it plays now. Run it after an intended change, then review
# `git diff tests/golden` and commit the files with the change. A change to how
# the game plays needs another play version (kPlayVersion in src/replay.h): the
# kept replays of the current one must still play as they claim.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release --target kelo_tests kelo-harness
KELO_WRITE_GOLDEN=1 build/release/tests/kelo_tests --gtest_filter='Golden.*' --gtest_brief=1
git diff --stat -- tests/golden || true
