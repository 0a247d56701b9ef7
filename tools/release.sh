#!/usr/bin/env bash
# Builds every release file of the current commit into build/dist/ (installing
# what is missing):
#
#   kelo_VERSION_ARCH.deb          the Debian package (tools/deb.sh)
#   kelo-VERSION.tar.gz            the source (git archive)
#   kelo-VERSION-windows-x64.zip   the Windows game folder  } where tools/windows.sh
#   kelo-VERSION-setup-x64.exe     the Windows installer    } exists
#   kelo-VERSION-web.zip           the web page, where tools/web.sh exists
#   SHA256SUMS
#
# It builds from a clone of HEAD in a temporary folder, so nothing uncommitted
# and no earlier build reaches a release, with SOURCE_DATE_EPOCH at the commit's
# time. The libraries for Windows and the web come from this checkout's own
# build/deps/ (tools/deps.sh builds again only a library whose source version,
# recipe or compiler differs from its stamp there). Each game folder and page
# must carry LICENSE and THIRD-PARTY.txt. The last lines list what it made, with
# sizes.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
dist=$repo/build/dist
fail() { echo "release.sh: $*" >&2; exit 1; }

commit=$(git rev-parse HEAD)
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release.sh: changes not committed are left out; building $(git rev-parse --short HEAD)" >&2
fi
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
version=$(sed -n 's/^project(kelo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no version in CMakeLists.txt"

tmp=$(mktemp -d /tmp/kelo-release-XXXXXX)
trap 'rm -rf "$tmp"' EXIT
src=$tmp/kelo-$version
git clone -q --no-local "$repo" "$src"
git -C "$src" checkout -q --detach "$commit"
rm -rf "$dist"
mkdir -p "$dist"

# The source, with every file at the commit's time.
git -C "$src" archive --format=tar --prefix="kelo-$version/" "$commit" | gzip -9n >"$dist/kelo-$version.tar.gz"

# The Debian package.
deb=$(cd "$src" && tools/deb.sh | tail -n 1)
cp "$src/$deb" "$dist/"

# A folder of a port must carry our licence and the notices of the parts it holds.
carries_notices() {
  local list=$1 what=$2
  grep -qE '(^|/)LICENSE$' <<<"$list" && grep -qE '(^|/)THIRD-PARTY\.txt$' <<<"$list" \
    || fail "$what lacks LICENSE or THIRD-PARTY.txt (dist/notices.cmake writes them)"
}

# Windows: the zip and the installer tools/windows.sh makes.
if [ -x "$src/tools/windows.sh" ]; then
  (cd "$src" && KELO_DEPS_PREFIX=$repo/build/deps/windows tools/windows.sh)
  tools/setup.sh unzip
  for f in "kelo-$version-windows-x64.zip" "kelo-$version-setup-x64.exe"; do
    [ -f "$src/build/windows/$f" ] || fail "tools/windows.sh made no build/windows/$f"
    cp "$src/build/windows/$f" "$dist/"
  done
  carries_notices "$(unzip -Z1 "$dist/kelo-$version-windows-x64.zip")" "the Windows zip"
else
  echo "release.sh: no tools/windows.sh, so no Windows zip and installer"
fi

# The web page: build/web/ as one zip, its files in a fixed order and time.
if [ -x "$src/tools/web.sh" ]; then
  (cd "$src" && KELO_DEPS_PREFIX=$repo/build/deps/web tools/web.sh)
  tools/setup.sh zip
  web=$src/build/web
  [ -d "$web" ] || fail "tools/web.sh made no build/web/"
  carries_notices "$(cd "$web" && find . -type f)" "the web page"
  ln -s web "$src/build/kelo-$version-web"
  find "$web" -exec touch --no-dereference --date="@$SOURCE_DATE_EPOCH" {} +
  (cd "$src/build" && find "kelo-$version-web/" -type f | LC_ALL=C sort \
    | TZ=UTC zip -q -X -9 "$dist/kelo-$version-web.zip" -@)
else
  echo "release.sh: no tools/web.sh, so no web page"
fi

(cd "$dist" && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%f\n' | LC_ALL=C sort \
  | xargs sha256sum >SHA256SUMS)
echo "Made in build/dist/ from $(git rev-parse --short "$commit"):"
(cd "$dist" && find . -maxdepth 1 -type f -printf '%s %f\n' | LC_ALL=C sort -k2 \
  | while read -r size name; do printf '  %10s  %6s  %s\n' "$size" "$(numfmt --to=iec "$size")" "$name"; done)
