#!/usr/bin/env bash
# The Windows game as a player gets it, under Wine on a virtual display:
# - the portable zip, unpacked into a folder whose name has an umlaut: the game
#   starts in a window whose picture is the main menu of docs/screens/main.png
#   (but for the pointer and the animated cloud); the options screen writes
#   kelo.ini beside kelo.exe; "Neues Spiel", a difficulty, a name and Enter start
#   a level, Escape pauses it and F4 goes back to the main menu; "Beenden" ends
#   the game with exit code 0; a read-only kelo.ini is the error message and
#   exit code 1; a level that the monkey plays leaves last.rep, which plays to
#   its claim under Wine, on Linux and under Node (as does the Linux game's
#   replay of build/replays/ here), and kelo.exe --replay shows it;
# - the same folder made read-only: the files go to %APPDATA%\kelo\;
# - an earlier installer (the script of an earlier commit over this build's
#   files) and a game it installed that kept its files beside itself; the
#   installer, run silently, refuses while that game runs, then installs over
#   it: the program, its Start-menu entries and one entry among the installed
#   programs; the installed game takes the earlier files into %APPDATA%\kelo\
#   and shows their highscores, keeping nothing beside itself though it could;
#   the silent uninstaller removes all of it but the player's files.
#   wine_desktop_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
zip=$build/kelo-$version-windows-x64.zip
setup=$build/kelo-$version-setup-x64.exe
[ -f "$zip" ] && [ -f "$setup" ] || { echo "FAIL: build the zip and the installer first" >&2; exit 1; }

# As root the read-only folder is a read-only mount in a namespace of our own
# (root may write anywhere else), and Wine's server, which opens the files,
# must start inside it: the whole test runs there.
if [ "$(id -u)" -eq 0 ] && [ -z "${KELO_TEST_NAMESPACE:-}" ]; then
  exec env KELO_TEST_NAMESPACE=1 unshare --mount --propagation private "$0" "$@"
fi

tmp=$(mktemp -d /tmp/kelo-wine-XXXXXX)
xvfb=""
cleanup() {
  wineserver -k 2>/dev/null || true
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  mountpoint -q "$tmp/ro" 2>/dev/null && umount "$tmp/ro"
  chmod -R u+w "$tmp" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "-- $*"; }

export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
source "$source/tests/virtual_display.sh"
start_display
start=$SECONDS
wineboot -i >/dev/null 2>&1
step "a new Wine prefix in $((SECONDS - start)) s"
appdata=$(winepath -u "$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')")

# --- The window -----------------------------------------------------------------

game=""
# Starts kelo.exe --window from a folder (with further arguments) and finds its
# window (sets wid, wx, wy).
start_game() {
  wine "$1/kelo.exe" --window "${@:2}" >"$tmp/game.log" 2>&1 &
  game=$!
  find_game_window "$tmp/game.log"
}

# Ends and checks the exit code of the game started last.
game_ended_with() { game_ends_with "$1" "$tmp/game.log" "the game"; }

# Ends the game started last at once (and whatever else runs under Wine),
# without the shell's word on how it ended.
end_game() {
  disown "$game"
  wineserver -k
}

# The window's picture, as PNG.
shot() { xwd -root -silent | convert xwd:- -crop "640x480+$wx+$wy" +repage "png:$1"; }

# A point of the picture: the pointer moves there, a press clicks there.
point() { xdotool mousemove --sync $((wx + $1)) $((wy + $2)); }
click() {
  point "$1" "$2"
  sleep 0.2
  xdotool click 1
}

# The number of pixels that differ between two pictures, outside the given
# rectangles (x0,y0,x1,y1 each), in the game's 16-bit colours (5 bits of red
# and blue, 6 of green): the display widens them by repeating their bits, the
# PNG writer by scaling.
differ() {
  local a=$1 b=$2 masks=()
  shift 2
  for r in "$@"; do masks+=(-draw "rectangle $r"); done
  local to16=(-channel R,B -evaluate And 63488 -channel G -evaluate And 64512 +channel)
  convert "$a" -fill black "${masks[@]}" "${to16[@]}" "$tmp/a.png"
  convert "$b" -fill black "${masks[@]}" "${to16[@]}" "$tmp/b.png"
  compare -metric AE "$tmp/a.png" "$tmp/b.png" null: 2>&1 | cut -d' ' -f1 || true
}

# The pointer parked at (20, 20) and the reference's pointer at (470, 299); the
# cloud of the main menu turns with the clock.
main_masks=(0,0,40,40 455,284,485,314 155,310,233,390)
# Waits until the window shows the main menu.
expect_main_menu() {
  local n=""
  for _ in $(seq 60); do
    point 20 20  # again and again: the game puts the pointer in the middle when a screen starts
    shot "$tmp/shot.png"
    n=$(differ "$tmp/shot.png" "$source/docs/screens/main.png" "${main_masks[@]}")
    [ "$n" = 0 ] && return 0
    sleep 0.2
  done
  cp "$tmp/shot.png" "$build/wine-failed-main.png"
  fail "$1: not the main menu ($n pixels differ; the picture is $build/wine-failed-main.png)"
}

# --- The portable zip ------------------------------------------------------------

step "the portable zip"
folder=$tmp/Spiele/Jürgen
mkdir -p "$folder"
(cd "$folder" && unzip -q "$zip")
folder=$folder/kelo-$version-windows-x64
[ -f "$folder/kelo.exe" ] && [ -f "$folder/data/atom.gif" ] || fail "the zip lacks kelo.exe or data/"

[ "$(wine "$folder/kelo.exe" --version | head -n 1 | tr -d '\r')" = "kelo $version" ] || fail "--version"

start_game "$folder"
expect_main_menu "the first start"
for f in high1.sco high2.sco high3.sco; do [ -f "$folder/$f" ] || fail "no $f beside kelo.exe"; done

# Options: "Transparente Explosionen" is saved in kelo.ini.
click 400 203
sleep 1.5
click 440 183
sleep 0.5
[ "$(tr -d '\r\n' <"$folder/kelo.ini" 2>/dev/null)" = 1 ] || fail "kelo.ini beside kelo.exe does not hold 1"
click 420 370
expect_main_menu "back from the options"

# A level: the name screen, then Enter; Escape pauses, F4 ends the level.
click 400 178
sleep 1.5
click 400 180
sleep 1.5
point 320 240
xdotool type --delay 80 Tester
xdotool key Return
sleep 3
# The monkey plays on for a while.
"$build/../release/tools/monkey/kelo-monkey" --desktop "$wx,$wy" --seed 5 --seconds 8 | xdotool -
xdotool key Escape
pause_box=(0,0,639,164 0,296,639,479 0,0,199,479 441,0,639,479)
n=""
for _ in $(seq 50); do
  shot "$tmp/shot.png"
  n=$(differ "$tmp/shot.png" "$source/docs/screens/pause.png" "${pause_box[@]}")
  [ "$n" = 0 ] && break
  sleep 0.2
done
[ "$n" = 0 ] || { cp "$tmp/shot.png" "$build/wine-failed-pause.png"; fail "no pause box after Escape in a level ($n pixels differ)"; }
xdotool key F4
expect_main_menu "F4 on the pause screen"

# The level's replay plays to its claim on every build: here, on Linux, in
# Node; the Linux game's does here.
step "the level's replay"
[ -f "$folder/last.rep" ] || fail "no last.rep beside kelo.exe"
mkdir -p "$source/build/replays"
cp "$folder/last.rep" "$source/build/replays/windows.rep"
for rep in "$source"/build/replays/*.rep; do
  wine "$build/game/kelo-harness.exe" --verify "$(winepath -w "$rep")" \
    | tr -d '\r' >"$tmp/verify" || { cat "$tmp/verify" >&2; fail "$rep does not play to its claim under Wine"; }
  grep -q "^verdict: *the replay plays" "$tmp/verify" || fail "$rep: no verdict under Wine"
done
native=$build/../release/game/kelo-harness
[ -x "$native" ] && { "$native" --verify "$folder/last.rep" >/dev/null || fail "the replay does not play to its claim on Linux"; }
node_tests=$build/../wasm/tests/kelo_tests.js
if [ -f "$node_tests" ] && command -v node >/dev/null; then
  (cd "$(dirname "$node_tests")" && node --no-experimental-fetch kelo_tests.js --gtest_filter='RecordedElsewhere.*') >"$tmp/node" 2>&1 \
    || { cat "$tmp/node" >&2; fail "a replay does not play to its claim under Node"; }
fi

click 400 370
game_ended_with 0

# The Linux game's replay watched here (or this one's), faster, and ended: nothing is written.
watched=$source/build/replays/linux.rep
[ -f "$watched" ] || watched=$folder/last.rep
before=$(ls -l --time-style=+%s.%N "$folder")
start_game "$folder" --replay "$(winepath -w "$watched")"
sleep 2
xdotool key Right
sleep 2
xdotool key Escape
game_ended_with 0
[ "$(ls -l --time-style=+%s.%N "$folder")" = "$before" ] || fail "watching a replay changed the game's files"

# A kelo.ini that may not be written (Wine shows a file without write
# permission as read-only): saving it is the error message, and the game ends
# with exit code 1 once it is answered.
chmod a-w "$folder/kelo.ini"
start_game "$folder"
expect_main_menu "the start with a read-only kelo.ini"
click 400 203
sleep 1.5
click 440 183
sleep 1.5
xdotool key Return
game_ended_with 1
[ "$(tr -d '\r\n' <"$folder/kelo.ini")" = 1 ] || fail "the read-only kelo.ini changed"
chmod u+w "$folder/kelo.ini"

# --- A read-only game folder: the files go to %APPDATA%\kelo\ ------------------------

step "a read-only game folder"
rm -f "$folder"/kelo.ini "$folder"/high*.sco "$folder"/*.rep
if [ "$(id -u)" -eq 0 ]; then
  mkdir "$tmp/ro"
  mount --bind "$folder" "$tmp/ro"
  mount -o remount,bind,ro "$tmp/ro"
  readonly_folder=$tmp/ro
else
  chmod a-w "$folder"
  readonly_folder=$folder
fi
start_game "$readonly_folder"
expect_main_menu "the start in a read-only folder"
for f in high1.sco high2.sco high3.sco; do [ -f "$appdata/kelo/$f" ] || fail "no $f in %APPDATA%\\kelo\\"; done
click 400 203
sleep 1.5
click 440 183
sleep 0.5
[ "$(tr -d '\r\n' <"$appdata/kelo/kelo.ini" 2>/dev/null)" = 1 ] || fail "kelo.ini in %APPDATA%\\kelo\\ does not hold 1"
click 420 370
expect_main_menu "back from the options"
click 400 370
game_ended_with 0
[ -z "$(ls "$folder" | grep -v -e '^kelo.exe$' -e '^data$' -e '^LICENSE' -e '^THIRD-PARTY')" ] ||
  fail "the game wrote into its read-only folder"
rm -rf "$appdata/kelo"

# --- The installer, over an earlier one ---------------------------------------------

# The earlier installer is the script as it was before the installer left its
# mark beside the game (kept in tests/windows/earlier-kelo.nsi), made over this
# build's files: an upgrade is about what the installer leaves in the folder and
# the registry, and this game, without the mark, keeps its files beside itself
# where it may write, as the earlier game did. No second game is built for it.
step "the earlier installer"
{ cat "$build/dist/windows/defines.nsh"; cat "$source/tests/windows/earlier-kelo.nsi"; } >"$tmp/earlier.nsi"
makensis -V1 -INPUTCHARSET UTF8 -DOUTFILE="$tmp/earlier-setup.exe" "$tmp/earlier.nsi" >/dev/null
wine "$tmp/earlier-setup.exe" /S
wineserver -w
programs=$(winepath -u 'C:\Program Files')
installed="$programs/Kelo - Das Spiel"
[ -f "$installed/kelo.exe" ] && [ ! -e "$installed/installed.txt" ] || fail "the earlier installer installed no game"

# What a first game started from the earlier installer's finish page, with its
# rights, left in Program Files: the list of "Leicht" that
# docs/screens/highscore-1.png shows (five names, points and hits, each a length
# byte and its room), and "Transparente Explosionen" on.
leicht_list() {
  local LC_ALL=C text
  field() { printf "\\$(printf %03o "${#2}")%s" "$2"; head -c $(($1 - ${#2})) /dev/zero; }
  for text in $'Bauer J\xF6ran' 'Oma Hilde' 'Kerstin' 'Quillendorfer (Kelo)' 'Quillendorfer (Kelo)'; do field 20 "$text"; done
  for text in 17950 14200 10450 0 0; do field 20 "$text"; done
  for text in 87 70 53 000 000; do field 3 "$text"; done
}
leicht_list >"$tmp/high1.sco"
[ "$(stat -c %s "$tmp/high1.sco")" = 230 ] || fail "the highscore file is not 230 bytes"
cp "$tmp/high1.sco" "$installed/high1.sco"
printf '1\r\n' >"$installed/kelo.ini"
start_game "$installed"
for f in high2.sco high3.sco; do [ -f "$installed/$f" ] || fail "the earlier game kept no $f beside itself"; done

# While it runs, the new installer says so and changes nothing.
status=0
wine "$setup" /S || status=$?
[ "$status" -ne 0 ] || fail "the installer went on while the game ran from its folder"
[ ! -e "$installed/installed.txt" ] || fail "the installer changed the folder while the game ran from it"
end_game

step "the installer over the earlier one"
wine "$setup" /S
wineserver -w
[ -f "$installed/kelo.exe" ] && [ -f "$installed/data/1.mid" ] && [ -f "$installed/installed.txt" ] ||
  fail "the installer put no game into Program Files"
cmp -s "$installed/high1.sco" "$tmp/high1.sco" || fail "the installer changed the player's high1.sco"
menu=$(winepath -u 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs')
[ -f "$menu/Kelo - Das Spiel.lnk" ] && [ -f "$menu/Kelo - Das Spiel (im Fenster).lnk" ] ||
  fail "the Start-menu entries are missing"
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
entries=$(wine reg query "$uninstall" /s 2>/dev/null | tr -d '\r' | grep -c 'DisplayName.*Kelo - Das Spiel' || true)
[ "$entries" = 1 ] || fail "$entries entries among the installed programs, not one"
key="$uninstall\\Kelo"
entry=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
for value in "DisplayName.*Kelo - Das Spiel" "DisplayVersion.*$version" "Publisher.*[A-Za-z]" \
             "DisplayIcon.*kelo.exe" "EstimatedSize.*0x" "UninstallString.*uninstall.exe"; do
  grep -q "$value" <<<"$entry" || fail "the entry among the installed programs lacks $value"
done

# The installed game takes what the earlier one left into %APPDATA%\kelo\ and
# shows it; in its own folder, which Wine lets anyone write, it keeps nothing.
start_game "$installed"
expect_main_menu "the installed game"
click 400 233
sleep 1.5
click 300 430
n=""
for _ in $(seq 30); do
  point 250 380
  shot "$tmp/shot.png"
  n=$(differ "$tmp/shot.png" "$source/docs/screens/highscore-1.png" 235,365,265,395)
  [ "$n" = 0 ] && break
  sleep 0.2
done
[ "$n" = 0 ] || { cp "$tmp/shot.png" "$build/wine-failed-highscore.png"; fail "not the earlier list of \"Leicht\" ($n pixels differ)"; }
end_game
cmp -s "$appdata/kelo/high1.sco" "$tmp/high1.sco" || fail "high1.sco in %APPDATA%\\kelo\\ is not the earlier one"
cmp -s "$appdata/kelo/kelo.ini" <(printf '1\r\n') || fail "kelo.ini in %APPDATA%\\kelo\\ is not the earlier one"
for f in kelo.ini high1.sco high2.sco high3.sco; do
  [ -f "$appdata/kelo/$f" ] || fail "no $f in %APPDATA%\\kelo\\"
  [ ! -e "$installed/$f" ] || fail "$f is still beside the installed game"
done

wine "$installed/uninstall.exe" /S
wineserver -w
[ ! -e "$installed" ] || fail "the uninstaller left $(ls "$installed" | tr '\n' ' ')"
[ ! -e "$menu/Kelo - Das Spiel.lnk" ] || fail "the uninstaller left the Start-menu entry"
if wine reg query "$key" >/dev/null 2>&1; then fail "the uninstaller left the entry among the installed programs"; fi
[ -f "$appdata/kelo/high1.sco" ] || fail "the uninstaller removed the player's highscores"
echo "The Windows game under Wine: zip, read-only folder, installer over an earlier one and uninstaller all right"
