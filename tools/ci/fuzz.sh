#!/usr/bin/env bash
# CI: builds the fuzz targets with clang and runs each for a short time
# (KELO_FUZZ_SECONDS, default 25: seven targets in about three minutes;
# longer runs are for tools/fuzz.sh at a desk).
set -euo pipefail
cd "$(dirname "$0")/../.."
tools/setup.sh clang libclang-rt-14-dev
tools/fuzz.sh -t "${KELO_FUZZ_SECONDS:-25}"
