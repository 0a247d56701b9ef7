#!/usr/bin/env bash
# CI: the debug build with AddressSanitizer and UndefinedBehaviorSanitizer and
# every test in it, the monkey among them. The first report ends the program
# that made it (the options are in the debug presets), so its test fails.
set -euo pipefail
cd "$(dirname "$0")/../.."
start=$SECONDS
cmake --preset debug -DKELO_WERROR="${KELO_WERROR:-OFF}" >/dev/null
cmake --build --preset debug
ctest --preset debug
echo "sanitizers: $((SECONDS - start)) s"
