#!/usr/bin/env bash
# Builds everything (installing what is missing) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset release -DKELO_WERROR="${KELO_WERROR:-OFF}" >/dev/null
cmake --build --preset release
ctest --preset release "$@"
