# The game's window on a virtual display, for the tests that drive the real
# program with xdotool. Sourced; the test gives $tmp (a folder of its own),
# fail (reports and exits) and $game (the process of the game started last).

# Starts Xvfb and points DISPLAY at it (sets xvfb).
start_display() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
  xvfb=$!
  # Xvfb writes its display's number, and a newline, once it takes clients.
  for _ in $(seq 300); do [ "$(tail -c 1 "$tmp/display" 2>/dev/null | od -An -tx1 | tr -d ' ')" = 0a ] && break; sleep 0.1; done
  export DISPLAY=:$(head -n 1 "$tmp/display")
  xdotool getdisplaygeometry >/dev/null || fail "no virtual display"
}

# Waits for the game's 640 x 480 window (sets wid, wx, wy); a game that ends
# first fails the test with its output, the file LOG.
find_game_window() {
  wid=""
  for _ in $(seq 300); do
    for w in $(xdotool search --onlyvisible --name '^Kelo - Das Spiel$' 2>/dev/null); do
      eval "$(xdotool getwindowgeometry --shell "$w")"
      [ "$WIDTH" -eq 640 ] && [ "$HEIGHT" -eq 480 ] && wid=$w wx=$X wy=$Y && break 2
    done
    kill -0 "$game" 2>/dev/null || { cat "$1" >&2; fail "the game ended before its window showed"; }
    sleep 0.1
  done
  [ -n "$wid" ] || fail "no window of 640 x 480"
}

# Waits for the game to end (30 s at most) and checks its exit status:
#   game_ends_with STATUS LOG WHAT
game_ends_with() {
  local status=0
  for _ in $(seq 300); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
  wait "$game" || status=$?
  game=""  # ended: nothing left for the test's cleanup to stop
  [ "$status" -eq "$1" ] || { cat "$2" >&2; fail "$3 ended with $status, not $1"; }
}
