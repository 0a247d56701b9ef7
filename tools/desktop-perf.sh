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

# The virtual desktop and the measuring tools, with what the build needs.
tools/setup.sh xvfb openbox xdotool x11-apps x11-utils gdb python3

if [ -z "$game" ]; then
  cmake --preset release >/dev/null
  cmake --build --preset release --target kelo
  game=build/release/game
fi

exec /usr/bin/python3 tools/desktop_perf.py --game "$game" "${args[@]}"
