#!/usr/bin/env bash
# The installed game as a player runs it: installed into a temporary prefix and
# started (through the installed kelo-harness) by a user who may not write to the
# program's folder. Its files appear in $XDG_DATA_HOME/kelo/ (or
# ~/.local/share/kelo/), a finished level's score lands there, the data comes
# from share/kelo/data/; a copied game folder still keeps its files beside itself,
# unless the player may not write there.
#   install_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
tmp=$(mktemp -d /tmp/kelo-install-XXXXXX)
trap 'chmod -R u+w "$tmp"; rm -rf "$tmp"' EXIT
chmod 755 "$tmp"
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$tmp/usr
cmake --install "$build" --prefix "$prefix" >/dev/null
cmake --install "$build" --prefix "$prefix" --component harness >/dev/null

# Root hands the game over to nobody; anyone else plays as themselves with the
# program's folder made read-only.
if [ "$(id -u)" -eq 0 ]; then
  player() { setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups -- "$@"; }
  give() { chown -R nobody: "$@"; }
else
  chmod a-w "$prefix/bin"
  player() { "$@"; }
  give() { :; }
fi
mkdir "$tmp/home" && give "$tmp/home"
player test ! -w "$prefix/bin" || fail "the program's folder is writable for the player"

# The command line.
[ "$("$prefix/bin/kelo" --version | head -n 1)" = "kelo $version" ] || fail "--version"
"$prefix/bin/kelo" --version | sed -n 2p | grep -q "^Copyright (c) .*; MIT licence" || fail "--version names no licence"
[ -f "$prefix/share/doc/kelo/LICENSE" ] || fail "the installation lacks LICENSE"
"$prefix/bin/kelo" --help | grep -q -- "--window" || fail "--help does not name --window"
set +e
err=$("$prefix/bin/kelo" --fullscreen 2>&1 >/dev/null); status=$?
set -e
[ "$status" -eq 2 ] && [ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] || fail "an unknown option: status $status, '$err'"

# A first start makes the folder with the default lists; the options screen
# saves the settings; a level with a score that ranks first ends in the list.
xdg=$tmp/home/xdg
touch "$tmp/before"
player env HOME="$tmp/home" XDG_DATA_HOME="$xdg" "$prefix/bin/kelo-harness" - >"$tmp/out" 2>&1 <<EOF || { cat "$tmp/out"; fail "the installed game"; }
tick 5
expect gameState Main
expect appFolder $xdg/kelo/
expect music.file data/1.mid
expect music.open true
press 400 200
tick
press 368 172
tick
expect alphaExplosions 1
press 400 370
tick
press 400 180
tick
press 400 180
tick
type Niemand
key Return
tick
expect gameState Level
set scoreHits 7
set scorePoints 1400
until Results
expect placement 1
EOF
for f in kelo.ini high1.sco high2.sco high3.sco; do
  [ -f "$xdg/kelo/$f" ] || fail "$f is not in \$XDG_DATA_HOME/kelo/"
done
[ "$(cat "$xdg/kelo/kelo.ini")" = $'1\r' ] || fail "kelo.ini holds '$(cat "$xdg/kelo/kelo.ini")'"
[ "$(head -c 8 "$xdg/kelo/high1.sco" | tail -c 7)" = "Niemand" ] || fail "the score is not in high1.sco"
[ -z "$(find "$prefix" -newer "$tmp/before")" ] || fail "the game wrote into the installation"

# Without XDG_DATA_HOME: ~/.local/share/kelo/.
player env -u XDG_DATA_HOME HOME="$tmp/home" "$prefix/bin/kelo-harness" - >"$tmp/out" 2>&1 <<EOF || { cat "$tmp/out"; fail "the game without XDG_DATA_HOME"; }
tick
expect appFolder $tmp/home/.local/share/kelo/
EOF
[ -f "$tmp/home/.local/share/kelo/high1.sco" ] || fail "high1.sco is not in ~/.local/share/kelo/"

# A copied game folder writes beside itself, and nothing into the player's home.
copy=$tmp/copy
mkdir "$copy" && cp -r "$build/game/kelo-harness" "$build/game/data" "$copy/" && give "$copy"
rm -rf "$tmp/home/.local" "$xdg"
player env HOME="$tmp/home" XDG_DATA_HOME="$xdg" "$copy/kelo-harness" - >"$tmp/out" 2>&1 <<EOF || { cat "$tmp/out"; fail "the copied game folder"; }
tick
expect appFolder $copy/
EOF
[ -f "$copy/high1.sco" ] || fail "high1.sco is not beside the copied program"
[ ! -e "$xdg" ] && [ ! -e "$tmp/home/.local" ] || fail "the copied game folder wrote into the home folder"

# A game folder the player may not write to: the files go to the player's data
# folder, the data still comes from beside the program, not from an
# installation's data folder seen from there (here a broken one).
ro=$tmp/readonly
mkdir "$ro" && cp -r "$build/game/kelo-harness" "$build/game/data" "$ro/"
mkdir -p "$tmp/share/kelo/data" && : >"$tmp/share/kelo/data/1.mid"
[ "$(id -u)" -eq 0 ] || chmod a-w "$ro"
player env HOME="$tmp/home" XDG_DATA_HOME="$xdg" "$ro/kelo-harness" - >"$tmp/out" 2>&1 <<EOF || { cat "$tmp/out"; fail "the read-only game folder"; }
tick
expect gameState Main
expect appFolder $xdg/kelo/
expect music.open true
EOF

# A folder named to the harness is a game folder of its own: what its data
# lacks is missing, not taken from beside the program.
named=$tmp/named
mkdir "$named" && cp -r "$build/game/data" "$named/" && rm "$named/data/1.mid"
"$build/game/kelo-harness" --folder "$named/" - >"$tmp/out" 2>&1 <<EOF || { cat "$tmp/out"; fail "the named folder"; }
expect events.0.op open
expect events.0.failed true
EOF
echo "ok"
