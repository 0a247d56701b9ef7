#!/usr/bin/env bash
# Builds the game for 64-bit Windows into build/windows/ (installing what is
# missing): game/kelo.exe, the portable kelo-VERSION-windows-x64.zip and the
# installer kelo-VERSION-setup-x64.exe.
#
#   tools/windows.sh           builds
#   tools/windows.sh --test    builds, then runs the tests under Wine
#
# The libraries come from tools/deps.sh windows (built once into build/deps/);
# the asset generator runs on this machine, from the native release build, so
# the Windows game embeds the same bytes as every other build.
set -euo pipefail
cd "$(dirname "$0")/.."

test=false
case "${1:-}" in
  --test) test=true ;;
  "") ;;
  *) echo "usage: $0 [--test]" >&2; exit 2 ;;
esac

# MinGW-w64, NSIS, and for the tests Wine with a virtual display, screenshots and unzip.
tools/setup.sh mingw-w64 nsis wine wine64 xvfb xdotool x11-apps imagemagick unzip
tools/deps.sh windows

cmake --preset release -DKELO_WERROR="${KELO_WERROR:-OFF}" >/dev/null
cmake --build --preset release --target kelo-assetgen

cmake --preset windows -DKELO_WERROR="${KELO_WERROR:-OFF}" >/dev/null
cmake --build --preset windows
ls -l build/windows/kelo-*-windows-x64.zip build/windows/kelo-*-setup-x64.exe

if $test; then
  ctest --preset windows
fi
