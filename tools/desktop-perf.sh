#!/usr/bin/env bash
# Plays the real game on a virtual desktop (an X server without a graphics
# processor, with a window manager), clicks into a level and prints what a
# player's machine pays for it: time to the first picture, CPU on the idle main
# menu, the frame rate the head-up display shows, how long 500 ticks take,
# CPU in the level and the peak memory.
#
#   tools/desktop-perf.sh [--runs N] [--size WxH] [--game DIR]
#
# Installs what it needs when missing (Xvfb, openbox, xdotool, xwd, gdb,
# python3) and builds the release preset unless --game names a game folder.
set -euo pipefail
cd "$(dirname "$0")/.."

game=""
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --game) game="$2"; shift 2 ;;
    *) args+=("$1"); shift ;;
  esac
done

packages=(xvfb openbox xdotool x11-apps x11-utils gdb python3)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ -z "$game" ]; then
  tools/setup.sh
  cmake --preset release >/dev/null
  cmake --build --preset release --target kelo
  game=build/release/game
fi

exec /usr/bin/python3 tools/desktop_perf.py --game "$game" "${args[@]}"
