#!/usr/bin/env bash
# The Debian package and the installed desktop files: validates the desktop entry
# and the metainfo of an installation, builds kelo_VERSION_amd64.deb with
# tools/deb.sh (into build/package/), has lintian check it (an error or a warning
# fails), checks its control data and contents, then lets apt resolve its
# dependencies. With --install (CI, on a machine of its own) the package is
# really installed, tried and removed again.
set -euo pipefail
cd "$(dirname "$0")/../.."
really_install=0
[ "${1:-}" = "--install" ] && really_install=1

# The checking tools, with what the build needs.
tools/setup.sh desktop-file-utils appstream dpkg-dev lintian
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
build=build/release
id=$(sed -n 's/^KELO_APP_ID:STRING=//p' "$build/CMakeCache.txt")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
fail() { echo "FAIL: $*" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/usr" >/dev/null
desktop-file-validate "$tmp/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$tmp/usr/share/metainfo/$id.metainfo.xml"

tools/deb.sh >"$tmp/deb.log" 2>&1 || { cat "$tmp/deb.log"; fail "tools/deb.sh"; }
deb=$(tail -n 1 "$tmp/deb.log")
[ "$deb" = "build/package/kelo_${version}_amd64.deb" ] && [ -f "$deb" ] || fail "no package: $deb"
lintian --info --fail-on error,warning "$deb" || fail "lintian"
info=$(dpkg-deb --info "$deb")
for line in "Package: kelo" "Version: $version" "Section: games" "Priority: optional" "Architecture: amd64"; do
  grep -qx " $line" <<<"$info" || fail "the control data lacks '$line'"
done
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
for dep in libsdl2-2.0-0 libsdl2-mixer-2.0-0 libfreetype6 libgif7 libfluidsynth3 \
           timgm6mb-soundfont fonts-dejavu-extra; do
  grep -qE "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}')
expected=(./usr/games/kelo ./usr/share/man/man6/kelo.6.gz
          ./usr/share/doc/kelo/copyright ./usr/share/doc/kelo/changelog.gz
          "./usr/share/applications/$id.desktop" "./usr/share/metainfo/$id.metainfo.xml")
for f in 1.mid back.mid schuss.gif feuer.gif atom.gif; do expected+=("./usr/share/kelo/data/$f"); done
for s in 16 24 32 48 64 128 256 512; do expected+=("./usr/share/icons/hicolor/${s}x$s/apps/$id.png"); done
for f in "${expected[@]}"; do grep -qx -- "$f" <<<"$contents" || fail "the package lacks $f"; done
! grep -E "kelo-harness|\.sf2$|\.ttf$|/LICENSES?/|THIRD-PARTY" <<<"$contents" || fail "the package holds what it should take from the system"

$sudo apt-get install --simulate "./$deb" >/dev/null
if [ "$really_install" = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get install -y -qq "./$deb" >/dev/null
  [ "$(/usr/games/kelo --version | head -n 1)" = "kelo $version" ] || fail "the installed game's version"
  desktop-file-validate "/usr/share/applications/$id.desktop"
  # It starts (without a screen) for a player and keeps running, its lists in the player's home.
  home=$tmp/home
  mkdir "$home" && chmod 755 "$tmp"
  player=()
  [ "$(id -u)" -eq 0 ] && chown nobody "$home" && player=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  "${player[@]}" env HOME="$home" SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy /usr/games/kelo &
  game=$!
  # A busy machine starts slowly: wait for the lists for up to a minute.
  for _ in $(seq 600); do
    [ -f "$home/.local/share/kelo/high1.sco" ] && break
    sleep 0.1
  done
  running=0
  kill -0 "$game" 2>/dev/null && running=1
  kill "$game" 2>/dev/null || true
  wait "$game" 2>/dev/null || true
  [ "$running" = 1 ] && [ -f "$home/.local/share/kelo/high1.sco" ] || fail "the installed game did not start"
  $sudo apt-get purge -y -qq kelo >/dev/null
fi
echo "$deb: $(stat -c %s "$deb") bytes"
