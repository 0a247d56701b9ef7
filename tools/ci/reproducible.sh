#!/usr/bin/env bash
# CI: the release files are reproducible.
#
#   tools/ci/reproducible.sh            the Debian package (tools/deb.sh)
#   tools/ci/reproducible.sh windows    the Windows zip and installer (tools/windows.sh)
#
# Builds them here (an earlier stage's build is reused) and once more from a
# clone of the same commit in another folder, later, in another time zone and
# language, and compares the two byte for byte. The Debian package is built
# there without a build folder to reuse; the Windows files with the libraries
# and the native asset generator built here, which are not what they are about.
# On a difference it shows which files differ (through diffoscope where
# installed).
set -euo pipefail
cd "$(dirname "$0")/../.."
start=$SECONDS
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -z "$(git status --porcelain --untracked-files=no)" ] \
  || fail "the working tree has changes; the clone would be built without them"
target=${1:-deb}

other=$(mktemp -d /tmp/kelo-reproducible-XXXXXX)
trap 'rm -rf "$other"' EXIT
git clone -q --no-local "$PWD" "$other/another-folder"
git -C "$other/another-folder" checkout -q --detach "$(git rev-parse HEAD)"
# The libraries' sources, which tools/deps.sh consults for their versions,
# are not downloaded again.
mkdir -p "$other/another-folder/build/deps"
[ -d build/deps/sources ] && ln -s "$PWD/build/deps/sources" "$other/another-folder/build/deps/sources"
in_clone() { (cd "$other/another-folder" && TZ=Pacific/Kiritimati LANG=de_DE.UTF-8 CCACHE_DISABLE=1 "$@"); }

# Unpacks a release file into a folder, for the comparison of what it holds.
unpack() {
  case "$1" in
    *.deb) dpkg-deb -R "$1" "$2" ;;
    *.zip) unzip -q "$1" -d "$2" ;;
    *) mkdir -p "$2" && cp "$1" "$2/" ;;
  esac
}
# Its list of files with their owners, modes and times.
listing() {
  case "$1" in
    *.deb) dpkg-deb -c "$1" ;;
    *.zip) zipinfo "$1" ;;
  esac
}

case "$target" in
  deb)
    files=("$(tools/deb.sh | tail -n 1)")
    in_clone tools/deb.sh >/dev/null
    ;;
  windows)
    tools/windows.sh --package >/dev/null
    files=(build/windows/kelo-*-windows-x64.zip build/windows/kelo-*-setup-x64.exe)
    KELO_DEPS_PREFIX=$(tools/deps.sh --print-prefix windows) KELO_HOST_BUILD=$PWD/build/release \
      in_clone tools/windows.sh --package >/dev/null
    ;;
  *) fail "usage: $0 [windows]" ;;
esac

for here in "${files[@]}"; do
  there=$other/another-folder/$here
  [ -f "$there" ] || fail "the clone's build made no $here"
  if ! cmp -s "$here" "$there"; then
    if command -v diffoscope >/dev/null; then
      diffoscope "$here" "$there" || true
    else
      rm -rf "$other/a" "$other/b"
      unpack "$here" "$other/a"
      unpack "$there" "$other/b"
      diff -r "$other/a" "$other/b" || true
      diff <(listing "$here") <(listing "$there") || true
      cmp -l "$here" "$there" | head -n 20 || true
    fi
    fail "two builds of the same commit differ: $here, $there"
  fi
  echo "reproducible: $here ($(sha256sum <"$here" | cut -c1-16)…) built twice alike"
done
echo "reproducible.sh $target: $((SECONDS - start)) s"
