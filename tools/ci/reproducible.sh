#!/usr/bin/env bash
# CI: the Debian package is reproducible. Builds it here with tools/deb.sh (an
# earlier stage's build/package is reused) and once more from a clone of the same
# commit in another folder, later, without a build folder to reuse, in another
# time zone and language, and compares the two packages byte for byte. On a
# difference it shows which files differ (through diffoscope where installed).
set -euo pipefail
cd "$(dirname "$0")/../.."
start=$SECONDS
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -z "$(git status --porcelain --untracked-files=no)" ] \
  || fail "the working tree has changes; the clone would be built without them"

here=$(tools/deb.sh | tail -n 1)
other=$(mktemp -d /tmp/kelo-reproducible-XXXXXX)
trap 'rm -rf "$other"' EXIT
git clone -q --no-local "$PWD" "$other/another-folder"
git -C "$other/another-folder" checkout -q --detach "$(git rev-parse HEAD)"
there=$other/another-folder/$(cd "$other/another-folder" && TZ=Pacific/Kiritimati LANG=de_DE.UTF-8 \
  CCACHE_DISABLE=1 tools/deb.sh | tail -n 1)

if ! cmp -s "$here" "$there"; then
  if command -v diffoscope >/dev/null; then
    diffoscope "$here" "$there" || true
  else
    mkdir "$other/a" "$other/b"
    dpkg-deb -R "$here" "$other/a"
    dpkg-deb -R "$there" "$other/b"
    diff -r "$other/a" "$other/b" || true
    diff <(dpkg-deb -c "$here") <(dpkg-deb -c "$there") || true
  fi
  fail "two builds of the same commit differ: $here, $there"
fi
echo "reproducible: $here ($(sha256sum <"$here" | cut -c1-16)…) built twice alike; $((SECONDS - start)) s"
