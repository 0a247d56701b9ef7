#!/usr/bin/env bash
# CI: builds the fuzz targets with clang and runs each for a short time
# (KELO_FUZZ_SECONDS, default 45).
set -euo pipefail
cd "$(dirname "$0")/../.."
tools/setup.sh clang libclang-rt-14-dev
tools/fuzz.sh -t "${KELO_FUZZ_SECONDS:-45}"
