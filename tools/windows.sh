#!/usr/bin/env bash
# Builds the game for 64-bit Windows into build/windows/ (installing what is
# missing): game/kelo.exe, the portable kelo-VERSION-windows-x64.zip and the
# installer kelo-VERSION-setup-x64.exe.
#
#   tools/windows.sh             builds
#   tools/windows.sh --test      builds, then runs the tests under Wine
#   tools/windows.sh --package   builds the zip and the installer only
#
# The libraries come from tools/deps.sh windows (built once into build/deps/);
# the asset generator runs on this machine, from the native release build (or
# the native build KELO_HOST_BUILD names), so the Windows game embeds the same
# bytes as every other build. The zip and the installer are the same bytes
# wherever one commit is built: their files carry SOURCE_DATE_EPOCH, the last
# commit's time unless set.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=all
case "${1:-}" in
  --test) mode=test ;;
  --package) mode=package ;;
  "") ;;
  *) echo "usage: $0 [--test|--package]" >&2; exit 2 ;;
esac

# MinGW-w64, NSIS and zip, and for the tests Wine with a virtual display, screenshots and unzip.
tools/setup.sh mingw-w64 nsis zip wine wine64 xvfb xdotool x11-apps imagemagick unzip
tools/deps.sh windows

. tools/source-date.sh

host=${KELO_HOST_BUILD:-}
if [ -z "$host" ]; then
  cmake --preset release -DKELO_WERROR="${KELO_WERROR:-OFF}" >/dev/null
  cmake --build --preset release --target kelo-assetgen
  host=$PWD/build/release
fi

cmake --preset windows -DKELO_WERROR="${KELO_WERROR:-OFF}" -DKELO_HOST_BUILD="$host" >/dev/null
if [ "$mode" = package ]; then
  cmake --build build/windows --target kelo-windows-release
else
  cmake --build --preset windows
fi
ls -l build/windows/kelo-*-windows-x64.zip build/windows/kelo-*-setup-x64.exe

if [ "$mode" = test ]; then
  ctest --preset windows
fi
