#!/usr/bin/env bash
# The monkey for as long as asked, in the sanitizer build:
#   tools/monkey.sh [SEED [TICKS]]        (defaults: seed 1, 1 000 000 ticks)
# A fault leaves monkey-failure-SEED-SESSION/ in the current folder, with the
# command that runs the session again.
set -euo pipefail
seed=${1:-1}
ticks=${2:-1000000}
root="$(cd "$(dirname "$0")/.." && pwd)"
(cd "$root" && cmake --preset debug >/dev/null && cmake --build --preset debug --target kelo-harness kelo-monkey)
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
exec "$root/build/debug/tools/monkey/kelo-monkey" --harness "$root/build/debug/game/kelo-harness" \
  --seed "$seed" --ticks "$ticks"
