#!/usr/bin/env bash
# CI stage: the Windows build (its libraries from Debian's sources, once, into
# build/deps/), the game, the zip and the installer, and the tests under Wine:
# the portable tests with the golden replay, Windows' own file faults, and the
# zip, a read-only folder and the installer in a real window.
set -euo pipefail
cd "$(dirname "$0")/../.."
start=$SECONDS
tools/windows.sh --test
echo "The Windows stage took $((SECONDS - start)) s"
