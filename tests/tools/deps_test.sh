#!/usr/bin/env bash
# The library cache of tools/deps.sh and tools/release.sh, with apt, the
# compilers and CMake's builds stubbed: a copy of both scripts and the
# toolchain files in a scratch checkout, "libraries" that are empty files.
# What is tested is the scripts' own logic: which libraries a run builds,
# which sources it downloads, where the prefix is.
#   deps_test.sh CMAKE SOURCE_DIR
# shellcheck disable=SC2016 # the stubs' bodies are expanded when they run
set -euo pipefail
real_cmake=$(command -v "$1")
source_dir=$2
tmp=$(mktemp -d /tmp/kelo-deps-test-XXXXXX)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
unset KELO_DEPS_PREFIX

# --- The stubs ------------------------------------------------------------------

bin=$tmp/bin
mkdir -p "$bin" "$tmp/apt/sources.list.d"
stub() {
  printf '#!/usr/bin/env bash\nset -eu\nT=%q\n%s\n' "$tmp" "$2" >"$bin/$1"
  chmod +x "$bin/$1"
}
printf 'Types: deb\nURIs: http://deb.example\nSuites: stable\nComponents: main\n' \
  >"$tmp/apt/sources.list.d/debian.sources"
stub apt-config 'echo "list=$T/apt/sources.list"; echo "parts=$T/apt/sources.list.d/"'
cat >"$tmp/versions" <<'EOF'
zlib 1:1.3.dfsg-1
giflib 5.2.2-1
freetype 2.13.3+dfsg-1
libsdl2 2.30.0+dfsg-1
libsdl2-mixer 2.8.0+dfsg-1
EOF
stub apt-cache 'awk -v p="${@: -1}" '\''$1 == p {print "Package: " p; print "Version: " $2}'\'' "$T/versions"'
# `apt-get source PKG=VERSION` writes the package's files where it runs; with
# $T/cut it stops half-way through the upstream tarball, as a lost connection does.
stub apt-get '[ "$1" = source ] || exit 0
wanted=${@: -1}; pkg=${wanted%%=*}; v=${wanted#*=}; v=${v#*:}
echo "$pkg" >>"$T/downloads"
echo "debian files of $pkg $v" >"${pkg}_$v.debian.tar.xz"
seq 1000 >"${pkg}_${v%-*}.orig.tar.xz"
{ echo "Format: 3.0 (quilt)"; echo "Source: $pkg"; echo "Checksums-Sha256:"
  for f in "${pkg}_${v%-*}.orig.tar.xz" "${pkg}_$v.debian.tar.xz"; do
    echo " $(sha256sum <"$f" | cut -d" " -f1) $(stat -c %s "$f") $f"
  done; } >"${pkg}_$v.dsc"
if [ -f "$T/cut" ]; then truncate -s 100 "${pkg}_${v%-*}.orig.tar.xz"; exit 100; fi'
stub dpkg-source 'dir=${@: -1}; mkdir -p "$dir/include/freetype/config"
touch "$dir/zlib.h" "$dir/zconf.h" "$dir/gif_lib.h"
echo "#define FT_CONFIG_OPTION_USE_ZLIB" >"$dir/include/freetype/config/ftoption.h"'
stub dpkg-query 'echo 1.15.2-1'
for cc in x86_64-w64-mingw32-gcc-posix emcc; do
  stub "$cc" '[ "$1" != --version ] || { echo "$(basename "$0") (stub) 1.0"; exit 0; }
while [ "$1" != -o ]; do shift; done; touch "$2"'
done
stub x86_64-w64-mingw32-ar 'touch "$2"'
stub emar 'touch "$2"'
# cmake -S -B configures (keeping the install prefix), --install puts lib<folder>.a there.
stub cmake 'case "$1" in
  -S) for a; do case "$a" in -DCMAKE_INSTALL_PREFIX=*) p=${a#*=} ;; esac; done
      mkdir -p "$4"; echo "$p" >"$4/prefix" ;;
  --install) p=$(cat "$2/prefix"); mkdir -p "$DESTDIR$p/lib"; touch "$DESTDIR$p/lib/lib$(basename "$2").a" ;;
esac'
stub sudo 'exec "$@"'
stub zip 'cat >/dev/null; for a; do case "$a" in *.zip) touch "$a" ;; esac; done'
stub unzip 'printf "kelo/LICENSE\nkelo/THIRD-PARTY.txt\n"'
export PATH=$bin:$PATH

# The scratch checkout: the real scripts and toolchain files, stub builds for the release.
co=$tmp/kelo
mkdir -p "$co/tools" "$co/cmake/toolchains"
cp "$source_dir/tools/deps.sh" "$source_dir/tools/release.sh" "$co/tools/"
cp "$source_dir"/cmake/toolchains/*.cmake "$co/cmake/toolchains/"
echo 'project(kelo VERSION 1.2.3)' >"$co/CMakeLists.txt"
printf '#!/bin/sh\n' >"$co/tools/setup.sh"
printf '#!/bin/sh\nset -e\nmkdir -p build\n: >build/kelo.deb\necho build/kelo.deb\n' >"$co/tools/deb.sh"
printf '#!/bin/sh\nset -e\ntools/deps.sh windows\nmkdir -p build/windows\n: >build/windows/kelo-1.2.3-windows-x64.zip\n: >build/windows/kelo-1.2.3-setup-x64.exe\n' \
  >"$co/tools/windows.sh"
printf '#!/bin/sh\nset -e\ntools/deps.sh web zlib\nmkdir -p build/web\ntouch build/web/LICENSE build/web/THIRD-PARTY.txt\n' \
  >"$co/tools/web.sh"
chmod +x "$co"/tools/*.sh
git -C "$co" init -q
git -C "$co" add -A
git -C "$co" -c user.name=t -c user.email=t@t -c commit.gpgsign=false commit -qm scratch

# Runs deps.sh in the scratch checkout; its output in $out.
deps() { out=$("$co/tools/deps.sh" "$@" 2>&1); }
# The libraries of the last run that were built, in order.
built() { awk '/built in/ {printf "%s ", $1}' <<<"$out"; }
downloads() { sort "$tmp/downloads" | tr '\n' ' '; }

# --- A named library brings those it is built on ---------------------------------

win=$tmp/deps/windows
export KELO_DEPS_PREFIX=$win
deps windows SDL2_mixer || fail "SDL2_mixer on an empty prefix: $out"
[ "$(built)" = "SDL2 SDL2_mixer " ] || fail "SDL2_mixer built $(built)"
ls "$win/lib/libSDL2.a" "$win/lib/libSDL2_mixer.a" >/dev/null || fail "no libraries in $win"
grep -q deb-src "$tmp/apt/sources.list.d/debian-src.sources" || fail "no deb-src entry added"
deps windows SDL3 && fail "an unknown library was taken"
deps windows || fail "$out"
[ "$(built)" = "zlib giflib freetype googletest " ] || fail "the rest built $(built)"
[ "$(downloads)" = "freetype giflib libsdl2 libsdl2-mixer zlib " ] || fail "downloads: $(downloads)"

# --- A download cut short is fetched again ------------------------------------------

sources=$tmp/deps/sources
: >"$tmp/downloads"
rm "$sources"/giflib_*
touch "$tmp/cut"
deps windows && fail "a cut download passed"
ls "$sources"/giflib_*.dsc >/dev/null 2>&1 && fail "a cut download left its .dsc"
rm "$tmp/cut"
# A tarball cut short and one missing, from an earlier run's download.
truncate -s 10 "$sources/freetype_2.13.3+dfsg.orig.tar.xz"
rm "$sources/zlib_1.3.dfsg.orig.tar.xz"
deps windows || fail "$out"
[ "$(downloads)" = "freetype giflib giflib zlib " ] || fail "downloads after cuts: $(downloads)"
[ -z "$(built)" ] || fail "the same sources built $(built) again"

# --- One prefix for each target ---------------------------------------------------

deps web zlib && fail "web built into the Windows prefix"
grep -q "holds the libraries for windows" <<<"$out" || fail "$out"
grep -q x86_64-w64-mingw32 "$win/.stamps/zlib" || fail "the Windows zlib was replaced"

# --- The prefix, as deps.sh and the toolchain files see it ----------------------------

cat >"$tmp/prefix.cmake" <<EOF
include("$co/cmake/toolchains/deps-prefix.cmake")
kelo_deps_prefix(web)
message("\${KELO_DEPS_PREFIX}")
EOF
for p in UNSET "" out/web/ "$tmp/x/../deps//web/" ../elsewhere; do
  if [ "$p" = UNSET ]; then unset KELO_DEPS_PREFIX; else export KELO_DEPS_PREFIX=$p; fi
  from_script=$(cd "$tmp" && "$co/tools/deps.sh" --print-prefix web)
  from_cmake=$(cd "$tmp" && "$real_cmake" -P "$tmp/prefix.cmake" 2>&1)
  [ "$from_script" = "$from_cmake" ] || fail "KELO_DEPS_PREFIX=$p: deps.sh $from_script, CMake $from_cmake"
done
[ "$from_script" = "$tmp/elsewhere" ] || fail "a relative prefix is not taken from the checkout: $from_script"

# --- What the stamps hold --------------------------------------------------------------

export KELO_DEPS_PREFIX=$win
echo "# a comment" >>"$co/cmake/toolchains/deps-prefix.cmake"
deps windows zlib || fail "$out"
[ -z "$(built)" ] || fail "a comment rebuilt $(built)"
echo "set(KELO_UNUSED ON)" >>"$co/cmake/toolchains/deps-prefix.cmake"
deps windows SDL2_mixer || fail "$out"
[ "$(built)" = "SDL2 SDL2_mixer " ] || fail "a changed deps-prefix.cmake rebuilt $(built)"
git -C "$co" checkout -q cmake

# --- A release takes the checkout's libraries as they are --------------------------------

unset KELO_DEPS_PREFIX
deps windows || fail "$out"
deps web zlib || fail "$out"
: >"$tmp/downloads"
out=$(cd "$co" && tools/release.sh 2>&1) || fail "release: $out"
[ "$(grep -c cached <<<"$out")" = 7 ] || fail "the release did not take the cache: $out"
[ -z "$(built)$(downloads)" ] || fail "the release built $(built), downloaded $(downloads)"
echo "deps_test: all passed"
