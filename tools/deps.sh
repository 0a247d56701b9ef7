#!/usr/bin/env bash
# Builds the libraries that the Windows and the web build link against, from
# Debian's own source packages, as static libraries into one prefix per target.
#
#   tools/deps.sh windows|web [LIB...]   builds what is missing or out of date
#                                        (only the libraries named, when any are:
#                                        zlib giflib freetype SDL2 SDL2_mixer
#                                        googletest, with those they are built on)
#   tools/deps.sh --print-prefix TARGET  prints the prefix (for CMake and scripts)
#
# KELO_DEPS_PREFIX names the prefix instead of build/deps/TARGET, as it does
# for the toolchain files (cmake/toolchains/deps-prefix.cmake): several
# checkouts can share one set of libraries that way. A relative path is taken
# from the checkout's root. A prefix holds one target's libraries: a run for
# the other target stops instead of building over them.
#
# Sources come with `apt-get source` into sources/ beside the prefix
# (build/deps/sources/), once: a download is checked against the checksums of
# its .dsc, and fetched again when a file is missing or differs. They are
# unpacked with Debian's patches applied for each build (PREFIX.work/, gone
# afterwards), and each library is installed into the prefix. A stamp per
# library in PREFIX/.stamps/ holds the source version, the build recipe (with
# the toolchain files) and the compiler: when one of them changes, that library
# and those built on it are built again; otherwise a run costs nothing but the
# checks.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)

# The libraries in building order: name, recipe, the libraries it is built on.
libraries=(
  "zlib zlib"
  "giflib giflib"
  "freetype freetype"
  "SDL2 sdl2"
  "SDL2_mixer sdl2_mixer SDL2"
  "googletest googletest"
)

usage() {
  echo "usage: $0 windows|web [LIB...]" >&2
  echo "       $0 --print-prefix windows|web" >&2
  exit 2
}

check_target() {
  case "${1:-}" in
    windows|web) ;;
    *) usage ;;
  esac
}

# The prefix of a target: KELO_DEPS_PREFIX when set and not empty, else
# build/deps/TARGET; from the checkout's root, "." and ".." taken out.
prefix_of() {
  (cd "$root" && realpath -ms -- "${KELO_DEPS_PREFIX:-build/deps/$1}")
}

if [ "${1:-}" = "--print-prefix" ]; then
  check_target "${2:-}"
  prefix_of "$2"
  exit 0
fi
[ $# -ge 1 ] || usage
target=$1
shift
check_target "$target"

# The libraries named, with those they are built on (each comes before the
# libraries built on it, so one pass backwards finds them all); all when none is.
wanted=" $* "
if [ $# -gt 0 ]; then
  known=" "
  for entry in "${libraries[@]}"; do known+="${entry%% *} "; done
  for lib in "$@"; do
    [[ "$known" == *" $lib "* ]] || { echo "$0: no library $lib" >&2; usage; }
  done
  for ((i = ${#libraries[@]} - 1; i >= 0; i--)); do
    read -r lib _ on <<<"${libraries[i]}"
    [[ "$wanted" != *" $lib "* ]] || wanted+="$on "
  done
fi

prefix=$(prefix_of "$target")
sources_dir=$(dirname "$prefix")/sources
stamps_dir=$prefix/.stamps
work_dir=$prefix.work
jobs=$(nproc)

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

# One run per prefix at a time, from whichever checkout.
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
# A download's folder, gone when the run ends however it ends.
download_dir=""
trap '[ -z "$download_dir" ] || rm -rf "$download_dir"' EXIT

# --- Tools --------------------------------------------------------------------

case "$target" in
  windows)
    "$root/tools/setup.sh" mingw-w64 dpkg-dev googletest
    toolchain=$root/cmake/toolchains/mingw-w64-x86_64.cmake
    cc=x86_64-w64-mingw32-gcc-posix
    ar=x86_64-w64-mingw32-ar
    ;;
  web)
    "$root/tools/setup.sh" emscripten dpkg-dev googletest
    toolchain=$root/cmake/toolchains/emscripten.cmake
    # Debian's emcc needs the acorn module for its optimiser, and its system
    # libraries come prebuilt in its own read-only cache: a cache named by
    # EM_CACHE would have to be built from nothing (six minutes here), and an
    # empty one fails while Debian's configuration keeps the cache frozen.
    export NODE_PATH=/usr/share/nodejs
    unset EM_CACHE EM_FROZEN_CACHE
    # emcc is a Python program; Debian's python3 starts it faster than a shim.
    [ -x /usr/bin/python3 ] && export EMSDK_PYTHON=/usr/bin/python3
    cc=emcc
    ar=emar
    ;;
esac
compiler_id=$("$cc" --version | sed -n 1p)

# --- Debian's source packages -------------------------------------------------

# A deb-src entry beside the deb entries, once: the same URIs, suites and
# keyring. apt tells where its lists are.
ensure_deb_src() {
  local list parts f
  eval "$(apt-config shell list Dir::Etc::sourcelist/f parts Dir::Etc::sourceparts/d)"
  for f in "$list" "$parts"*.list "$parts"*.sources; do
    [ -f "$f" ] || continue
    if grep -qE '^[[:space:]]*(deb-src[[:space:]]|Types:.*\bdeb-src\b)' "$f"; then
      return 0
    fi
  done
  local entry
  if [ -f "${parts}debian.sources" ]; then
    entry=$(sed -e '/^#/d' -e 's/^Types:.*/Types: deb-src/' "${parts}debian.sources")
    echo "Adding ${parts}debian-src.sources"
    printf '%s\n' "$entry" | $sudo tee "${parts}debian-src.sources" >/dev/null
  else
    entry=$(sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$list")
    echo "Adding ${parts}debian-src.list"
    printf '%s\n' "$entry" | $sudo tee "${parts}debian-src.list" >/dev/null
  fi
  $sudo apt-get update -qq
}

# The source lists are there once `apt-cache showsrc` knows a package.
ensure_source_lists() {
  ensure_deb_src
  if [ -z "$(apt-cache showsrc --only-source libsdl2 2>/dev/null)" ]; then
    $sudo apt-get update -qq
  fi
}

# Whether a .dsc and the files it lists are all there, each with its checksum.
source_complete() {
  local dsc=$1 sums
  [ -f "$dsc" ] || return 1
  sums=$(awk '/^Checksums-Sha256:/ {on = 1; next} !/^ / {on = 0} on && NF == 3 {print $1 "  " $3}' "$dsc")
  [ -n "$sums" ] && (cd "$(dirname "$dsc")" && sha256sum --check --status --strict <<<"$sums") 2>/dev/null
}

# Downloads one version of a source package into a folder of its own, then
# moves its files into the sources, the .dsc last: a run cut short, or one
# for the other target beside it, never finds a .dsc without its files.
download_source() {
  local pkg=$1 version=$2 dsc=${1}_${2#*:}.dsc got=false
  download_dir=$(mktemp -d "$sources_dir/.download-XXXXXX")
  if (cd "$download_dir" && apt-get source --download-only --only-source -qq \
        -o APT::Sandbox::User=root "$pkg=$version" >/dev/null 2>&1) &&
     source_complete "$download_dir/$dsc"; then
    find "$download_dir" -maxdepth 1 -type f ! -name "$dsc" -exec mv -f -t "$sources_dir" {} +
    mv -f "$download_dir/$dsc" "$sources_dir/"
    got=true
  fi
  rm -rf "$download_dir"
  download_dir=""
  $got
}

# Downloads a source package once and sets src_version (with epoch) and src_dsc.
# Takes apt's choice of version; when that cannot be had (the security archive
# may not serve its sources), the newest older version that can. The choice is
# kept in sources/PACKAGE.chosen, so a later run asks the network nothing while
# the files are whole.
fetch_source() {
  local pkg=$1 candidate chosen_file
  chosen_file=$sources_dir/$pkg.chosen
  candidate=$(apt-cache showsrc --only-source "$pkg" | awk '/^Version:/ {print $2}' | sort -V | tail -n 1)
  [ -n "$candidate" ] || { echo "apt knows no source package $pkg" >&2; exit 1; }
  if [ -f "$chosen_file" ]; then
    local was_candidate was_chosen
    read -r was_candidate was_chosen <"$chosen_file"
    if [ "$was_candidate" = "$candidate" ] && source_complete "$sources_dir/${pkg}_${was_chosen#*:}.dsc"; then
      src_version=$was_chosen
      src_dsc=$sources_dir/${pkg}_${was_chosen#*:}.dsc
      return 0
    fi
  fi
  mkdir -p "$sources_dir"
  local version
  for version in $(apt-cache showsrc --only-source "$pkg" | awk '/^Version:/ {print $2}' | sort -Vru); do
    if source_complete "$sources_dir/${pkg}_${version#*:}.dsc" || download_source "$pkg" "$version"; then
      [ "$version" = "$candidate" ] || echo "  $pkg $candidate cannot be downloaded: taking $version" >&2
      local chosen
      chosen=$(mktemp "$chosen_file.XXXXXX")
      echo "$candidate $version" >"$chosen"
      chmod a+r "$chosen"
      mv -f "$chosen" "$chosen_file"
      src_version=$version
      src_dsc=$sources_dir/${pkg}_${version#*:}.dsc
      return 0
    fi
  done
  echo "cannot download the sources of $pkg" >&2
  exit 1
}

# Unpacks a source package (Debian's patches applied) beside the build folder,
# for this build only; sets src_dir.
unpack_source() {
  local pkg=$1
  fetch_source "$pkg"
  src_dir=$build.src
  dpkg-source --no-check -x "$src_dsc" "$src_dir" >/dev/null
  # dpkg-source leaves copies of the upstream tarballs beside the tree.
  find "$(dirname "$src_dir")" -maxdepth 1 -type f -name '*.orig*' -delete
}

# --- Building -----------------------------------------------------------------

# The file names a library keeps (in its assertions) are its own, without the
# folder it was built in: the game holds no build folder.
no_paths="-ffile-prefix-map=$work_dir/="

# Configures, builds and installs a CMake project into the staging folder $stage.
cmake_build() {
  local src=$1 build=$2
  shift 2
  cmake -S "$src" -B "$build" -G Ninja --log-level=WARNING \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DKELO_DEPS_PREFIX="$prefix" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG $no_paths" -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG $no_paths" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib \
    -DBUILD_SHARED_LIBS=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=OFF \
    "$@" >"$build.log" 2>&1 || { tail -n 40 "$build.log" >&2; return 1; }
  cmake --build "$build" -j "$jobs" >>"$build.log" 2>&1 || { tail -n 40 "$build.log" >&2; return 1; }
  DESTDIR=$stage cmake --install "$build" >>"$build.log" 2>&1 || { tail -n 40 "$build.log" >&2; return 1; }
}

# Compiles C files into a static library (for the projects without CMake).
c_library() {
  local lib=$1 build=$2 src=$3
  shift 3
  mkdir -p "$build" "$stage$prefix/lib"
  printf '%s\n' "$@" |
    xargs -P "$jobs" -I{} "$cc" -O2 -DNDEBUG $no_paths -w -I"$src" -c "$src/{}" -o "$build/{}.o"
  (cd "$build" && "$ar" rcs "$stage$prefix/lib/$lib" "${@/%/.o}")
}

# Writes NAME.pc for a static library: NAME REQUIRES REQUIRES_PRIVATE LIBS.
pkg_config_file() {
  local v=${src_version#*:}
  v=${v%%[+-]*}
  mkdir -p "$stage$prefix/lib/pkgconfig"
  cat >"$stage$prefix/lib/pkgconfig/$1.pc" <<EOF
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: $1
Description: $1 (static)
Version: $v
Requires: $2
Requires.private: $3
Libs: -L\${libdir} $4
Cflags: -I\${includedir}/SDL2
EOF
}

build_zlib() {
  unpack_source zlib
  c_library libz.a "$build" "$src_dir" adler32.c compress.c crc32.c deflate.c gzclose.c \
    gzlib.c gzread.c gzwrite.c infback.c inffast.c inflate.c inftrees.c trees.c \
    uncompr.c zutil.c
  mkdir -p "$stage$prefix/include" "$stage$prefix/lib/pkgconfig"
  cp "$src_dir/zlib.h" "$src_dir/zconf.h" "$stage$prefix/include/"
  local v=${src_version#*:}
  v=${v%%.dfsg*}
  cat >"$stage$prefix/lib/pkgconfig/zlib.pc" <<EOF
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: zlib
Description: zlib compression library
Version: $v
Libs: -L\${libdir} -lz
Cflags: -I\${includedir}
EOF
}

build_giflib() {
  unpack_source giflib
  c_library libgif.a "$build" "$src_dir" dgif_lib.c egif_lib.c gifalloc.c gif_err.c \
    gif_font.c gif_hash.c openbsd-reallocarray.c quantize.c
  mkdir -p "$stage$prefix/include"
  cp "$src_dir/gif_lib.h" "$stage$prefix/include/"
}

# FreeType for TrueType faces only: no zlib (so no gzip-packed or WOFF fonts),
# bzip2, brotli, PNG or HarfBuzz, and of its modules only those a TrueType face
# needs (the others are compiled but never linked in, as nothing refers to them).
# Without zlib it needs nothing but itself; its bundled copy of zlib would
# clash with libz in one program.
build_freetype() {
  unpack_source freetype
  sed -i 's|^#define FT_CONFIG_OPTION_USE_ZLIB|/* & */|' "$src_dir/include/freetype/config/ftoption.h"
  mkdir -p "$build/include/freetype/config"
  cat >"$build/include/freetype/config/ftmodule.h" <<'EOF'
FT_USE_MODULE( FT_Module_Class, autofit_module_class )
FT_USE_MODULE( FT_Driver_ClassRec, tt_driver_class )
FT_USE_MODULE( FT_Module_Class, psnames_module_class )
FT_USE_MODULE( FT_Module_Class, sfnt_module_class )
FT_USE_MODULE( FT_Renderer_Class, ft_smooth_renderer_class )
FT_USE_MODULE( FT_Renderer_Class, ft_raster1_renderer_class )
EOF
  cmake_build "$src_dir" "$build" \
    -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
}

# SDL with the subsystems the game uses: video, events, audio, timers (and what
# they rest on); no joystick, haptic, sensors, HIDAPI, power, locale, URLs.
build_sdl2() {
  unpack_source libsdl2
  local common=(
    -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_TESTS=OFF
    -DSDL2_DISABLE_UNINSTALL=ON -DSDL_CCACHE=OFF
    -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF
    -DSDL_POWER=OFF -DSDL_LOCALE=OFF -DSDL_MISC=OFF -DSDL_VULKAN=OFF
  )
  case "$target" in
    windows)
      # Window surface plus the Direct3D 9/11 and OpenGL renderers; WASAPI,
      # DirectSound and winmm audio; the dummy and offscreen drivers for tests.
      cmake_build "$src_dir" "$build" "${common[@]}" \
        -DSDL_OPENGL=ON -DSDL_OPENGLES=OFF -DSDL_RENDER_D3D=ON -DHAVE_D3D12_H=OFF \
        -DSDL_XINPUT=OFF -DSDL_DIRECTX=ON -DSDL_WASAPI=ON -DSDL_OFFSCREEN=ON
      ;;
    web)
      # The game draws into the window surface (a 2D canvas); the software
      # renderer stays. No WebGL, no threads (they would need SharedArrayBuffer).
      cmake_build "$src_dir" "$build" "${common[@]}" \
        -DSDL2_DISABLE_SDL2MAIN=ON -DSDL_OPENGL=OFF -DSDL_OPENGLES=OFF \
        -DSDL_THREADS=OFF -DSDL_PTHREADS=OFF -DSDL_OFFSCREEN=OFF
      ;;
  esac
}

# SDL_mixer for WAV sounds only.
build_sdl2_mixer() {
  unpack_source libsdl2-mixer
  cmake_build "$src_dir" "$build" \
    -DSDL2MIXER_SAMPLES=OFF -DSDL2MIXER_VENDORED=OFF -DSDL2MIXER_DEPS_SHARED=OFF \
    -DSDL2MIXER_CMD=OFF -DSDL2MIXER_FLAC=OFF -DSDL2MIXER_MOD=OFF -DSDL2MIXER_MP3=OFF \
    -DSDL2MIXER_MIDI=OFF -DSDL2MIXER_OPUS=OFF -DSDL2MIXER_VORBIS= -DSDL2MIXER_WAVE=ON
  # emcc takes -lSDL2_mixer for its own SDL_mixer port, which it would download.
  local lib=-lSDL2_mixer
  [ "$target" = web ] && lib='${libdir}/libSDL2_mixer.a'
  pkg_config_file SDL2_mixer "sdl2 >= 2.0.9" "" "$lib"
}

# GoogleTest as Debian's googletest package installs its sources.
build_googletest() {
  local extra=()
  # In the browser build without threads (the tests run single-threaded under
  # node) and with exceptions, which emcc leaves out unless asked.
  [ "$target" = web ] && extra=(-Dgtest_disable_pthreads=ON -DCMAKE_CXX_FLAGS=-fexceptions)
  cmake_build /usr/src/googletest "$build" -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON "${extra[@]}"
}

# --- Stamps -------------------------------------------------------------------

# The version of a library: its source package's, found without downloading
# when the sources are already here.
library_version() {
  case "$1" in
    zlib) fetch_source zlib; echo "$src_version" ;;
    giflib) fetch_source giflib; echo "$src_version" ;;
    freetype) fetch_source freetype; echo "$src_version" ;;
    SDL2) fetch_source libsdl2; echo "$src_version" ;;
    SDL2_mixer) fetch_source libsdl2-mixer; echo "$src_version" ;;
    googletest) dpkg-query -W -f='${Version}' googletest ;;
  esac
}

# Builds library NAME (recipe build_RECIPE) unless its stamp is current.
# Further arguments: the libraries it is built on.
library() {
  local name=$1 recipe=build_${2}
  shift 2
  if [ "$wanted" != "  " ] && [[ "$wanted" != *" $name "* ]]; then
    return 0
  fi
  local version key dep
  version=$(library_version "$name")
  key="$name $version
compiler: $compiler_id
recipe: $( { declare -f "$recipe" cmake_build c_library pkg_config_file
           grep -hv '^ *#' "$toolchain" "$root/cmake/toolchains/deps-prefix.cmake"; } |
  sha256sum | cut -c1-16)"
  for dep in "$@"; do
    key+="
on: $(sha256sum <"$stamps_dir/$dep" | cut -c1-16)"
  done
  local stamp=$stamps_dir/$name
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$key" ]; then
    printf '  %-11s %-26s cached\n' "$name" "$version"
    return 0
  fi
  local start=$SECONDS
  # Take the files of the earlier build out of the prefix first.
  if [ -f "$stamp.files" ]; then
    (cd "$prefix" && xargs -d '\n' rm -f <"$stamp.files")
  fi
  rm -f "$stamp" "$stamp.files"
  build=$work_dir/$name
  stage=$work_dir/$name.stage
  rm -rf "$build" "$build.src" "$stage" "$build.log"
  mkdir -p "$work_dir"
  "$recipe"
  # Keep what the game needs: headers, static libraries, CMake and pkg-config
  # files; no manuals, documentation or programs.
  rm -rf "$stage$prefix/share/doc" "$stage$prefix/share/man" "$stage$prefix/bin" \
    "$stage$prefix/share/licenses" "$stage$prefix/share/aclocal"
  (cd "$stage$prefix" && find . ! -type d | sed 's|^\./||' | sort) >"$work_dir/$name.files"
  mkdir -p "$prefix" "$stamps_dir"
  cp -a "$stage$prefix/." "$prefix/"
  mv "$work_dir/$name.files" "$stamp.files"
  printf '%s\n' "$key" >"$stamp"
  rm -rf "$build" "$build.src" "$stage" "$build.log"
  printf '  %-11s %-26s built in %d s\n' "$name" "$version" $((SECONDS - start))
}

# One KELO_DEPS_PREFIX for both targets would build each over the other's.
if [ -f "$stamps_dir/target" ] && [ "$(cat "$stamps_dir/target")" != "$target" ]; then
  echo "$0: $prefix holds the libraries for $(cat "$stamps_dir/target"), not $target:" \
    "set KELO_DEPS_PREFIX for each target" >&2
  exit 1
fi
ensure_source_lists
# The .pc and CMake files name the prefix by its absolute path: a prefix that
# was built elsewhere (a moved checkout) is built anew.
if [ -f "$stamps_dir/prefix" ] && [ "$(cat "$stamps_dir/prefix")" != "$prefix" ]; then
  rm -rf "$prefix"
fi
mkdir -p "$stamps_dir"
echo "$prefix" >"$stamps_dir/prefix"
echo "$target" >"$stamps_dir/target"
echo "Libraries for $target in $prefix:"
for entry in "${libraries[@]}"; do
  # shellcheck disable=SC2086 # name, recipe and what it is built on, as words
  library $entry
done
rmdir "$work_dir" 2>/dev/null || true
