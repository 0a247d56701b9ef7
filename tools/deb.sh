#!/usr/bin/env bash
# Builds the Debian package build/package/kelo_VERSION_ARCH.deb (installing what
# is missing) from the "package" preset: the program in /usr/games, stripped, the
# data under /usr/share/kelo, the changelog and the machine-readable copyright
# file in /usr/share/doc/kelo. The last line printed is the package's path.
#
# The same commit gives the same package, byte for byte, wherever and whenever
# it is built: every time stamp is SOURCE_DATE_EPOCH (the last commit's time
# unless set; in a source tarball without git, the time git archive gave its
# files), files belong to root, modes and order are fixed, and the binaries hold
# no build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
umask 022
export LC_ALL=C.UTF-8

tools/setup.sh dpkg-dev
. tools/source-date.sh

build=build/package
cmake --preset package >/dev/null
cmake --build --preset package
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
deb=$build/kelo_${version}_${arch}.deb

root=$PWD/$build/deb-root
rm -rf "$root" "$deb"
DESTDIR=$root cmake --install "$build" --component game >/dev/null
# Stripped as Debian's own packages are: no symbols, no compiler notes.
strip --remove-section=.comment --remove-section=.note "$root/usr/games/kelo"
doc=$root/usr/share/doc/kelo
mkdir -p "$doc"
cp "$build/dist/debian/copyright" "$doc/copyright"
gzip -9n <"$build/dist/debian/changelog" >"$doc/changelog.gz"
find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f -exec chmod u+rw,go+r,go-w {} +

# The control file: the libraries the program links (as dpkg-shlibdeps finds
# them, which wants a debian/control to read) and the installed size in KiB,
# counted from the files as dpkg-gencontrol does.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/debian"
printf 'Source: kelo\n\nPackage: kelo\nArchitecture: any\n' >"$work/debian/control"
shlibs=$(cd "$work" && dpkg-shlibdeps -O -e"$root/usr/games/kelo" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[ -n "$shlibs" ] || { echo "deb.sh: dpkg-shlibdeps found no libraries" >&2; exit 1; }
size=$(find "$root" -mindepth 1 -printf '%y %s\n' | awk '{ kib += ($1 == "f") ? int(($2 + 1023) / 1024) : 1 } END { print kib }')
mkdir "$root/DEBIAN"
sed -e "s/{ARCHITECTURE}/$arch/" -e "s/{INSTALLED_SIZE}/$size/" -e "s/{SHLIBS}/$shlibs/" \
  "$build/dist/debian/control.in" >"$root/DEBIAN/control"
(cd "$root" && find usr -type f | sort | xargs md5sum) >"$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

# Every file and folder at the same time: dpkg-deb only moves later ones back.
find "$root" -exec touch --no-dereference --date="@$SOURCE_DATE_EPOCH" {} +
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "$deb"
