# 64-bit Windows with Debian's MinGW-w64, posix thread model (std::thread).
#
#   cmake -B build/windows -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
#
# Libraries are looked for only in the MinGW sysroot and in the prefix that
# tools/deps.sh windows fills (build/deps/windows unless KELO_DEPS_PREFIX says
# otherwise). Programs are linked with -static, so that a test or the game runs
# without libstdc++, libgcc or winpthreads DLLs beside it; tests run under Wine.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KELO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KELO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KELO_MINGW_TRIPLE}-windres)
# CMake would look for "...-ar-posix": name the binutils directly.
set(CMAKE_AR /usr/bin/${KELO_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/${KELO_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

include(${CMAKE_CURRENT_LIST_DIR}/deps-prefix.cmake)
kelo_deps_prefix(windows)

set(CMAKE_FIND_ROOT_PATH /usr/${KELO_MINGW_TRIPLE} "${KELO_DEPS_PREFIX}")
list(APPEND CMAKE_PREFIX_PATH "${KELO_DEPS_PREFIX}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config sees only the prefix's .pc files, never the host's.
set(ENV{PKG_CONFIG_LIBDIR} "${KELO_DEPS_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests (ctest, gtest_discover_tests) run under Wine, in a Wine prefix of the
# build's own (see wine-run.sh).
find_program(KELO_WINE NAMES wine wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KELO_WINE AND CMAKE_BINARY_DIR)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/env WINEPREFIX=${CMAKE_BINARY_DIR}/wine ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
endif()
