#!/usr/bin/env bash
# The real game records a level as a player plays it: kelo in a window on a
# virtual display, played by the monkey through xdotool (strokes of the
# pointer, shots, pauses, F9 and F10, F4 from the pause), leaves last.rep,
# which kelo-harness --verify accepts; kelo --replay then shows it in the
# window, Right runs it faster, Escape ends it, and nothing is written. The
# replay is kept in build/replays/linux.rep, where the browser's and the
# Windows build's tests play it too.
#   replay_test.sh BUILD_DIR SOURCE_DIR [SECONDS]
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
seconds=${3:-15}
tmp=$(mktemp -d /tmp/kelo-replay-XXXXXX)
xvfb="" game=""
cleanup() {
  if [ -n "$game" ]; then kill "$game" 2>/dev/null || true; fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A game folder of its own: the program and its data, where it keeps its files.
folder=$tmp/game
mkdir "$folder"
cp "$build/game/kelo" "$folder/"
cp -r "$build/game/data" "$folder/"

source "$source/tests/virtual_display.sh"
start_display
export SDL_AUDIODRIVER=dummy

# Starts the program with its arguments and finds its window (sets wid, wx, wy).
start() {
  "$folder/kelo" --window "$@" >"$tmp/out" 2>&1 &
  game=$!
  find_game_window "$tmp/out"
}

# "Neues Spiel", "Mittel", a name and Enter (each screen fades a third of a
# second out and in); the monkey plays, then Escape and F4 leave the level.
click() {
  xdotool mousemove $((wx + $1)) $((wy + $2))
  sleep 0.2
  xdotool click 1
  sleep 1.2
}
start
sleep 1
click 400 178
click 400 205
xdotool type --delay 50 Affe
xdotool key Return
sleep 0.5
seed=${KELO_MONKEY_SEED:-$RANDOM}
echo "the monkey plays seed $seed (KELO_MONKEY_SEED=$seed plays it again)"
"$build/tools/monkey/kelo-monkey" --desktop "$wx,$wy" --seed "$seed" --seconds "$seconds" \
  | xdotool -
xdotool key Escape
sleep 0.5
xdotool key F4
for _ in $(seq 100); do [ -f "$folder/last.rep" ] && break; sleep 0.1; done
[ -f "$folder/last.rep" ] || fail "no last.rep after the level"
xdotool key Escape  # on the main menu: the game ends
game_ends_with 0 "$tmp/out" "the game"

"$build/game/kelo-harness" --folder "$folder/" --verify "$folder/last.rep" || fail "the recorded level does not play to its claim"
mkdir -p "$source/build/replays"
cp "$folder/last.rep" "$source/build/replays/linux.rep"

# Watching it writes nothing.
before=$(cd "$folder" && ls -l --time-style=+%s.%N)
start --replay "$folder/last.rep"
sleep 2
xdotool key Right
sleep 2
xdotool key space
sleep 0.5
xdotool key Escape
game_ends_with 0 "$tmp/out" "watching"
[ "$(cd "$folder" && ls -l --time-style=+%s.%N)" = "$before" ] || fail "watching changed the game's files"
echo "recorded $(stat -c %s "$folder/last.rep") bytes of $seconds s of play; verified; watched"
