# The browser build with Debian's Emscripten: Debian's own toolchain file (what
# `emcmake cmake` passes) plus what it lacks on this system.
#
#   cmake -B build/web -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/emscripten.cmake
#
# - Debian's emcc runs node on its JavaScript optimiser, which needs the acorn
#   module from /usr/share/nodejs: NODE_PATH while configuring and linking.
# - emcmake's test runner, `node --experimental-wasm-threads`, is refused by
#   Node 20; and a Node with fetch() makes Emscripten 3.1.6 fetch the .wasm by
#   its file name, which fails: tests run as `node --no-experimental-fetch`.
# - Emscripten's system libraries come prebuilt in Debian's read-only cache
#   (/usr/share/emscripten/cache, FROZEN_CACHE): nothing is built into a cache
#   of our own, and EM_CACHE must stay unset (an empty cache there cannot be
#   filled while frozen).
# - Libraries come from the prefix that tools/deps.sh web fills
#   (build/deps/web unless KELO_DEPS_PREFIX says otherwise). The sysroot's own
#   SDL2 package stands for Emscripten's downloaded SDL port: ours is found
#   first. Name SDL2_mixer by its path, never as -lSDL2_mixer: emcc takes that
#   flag for its SDL_mixer port too (CMake's imported targets use the path).

set(KELO_NODE_PATH /usr/share/nodejs)
set(ENV{NODE_PATH} ${KELO_NODE_PATH})
# emcc is a Python program: Debian's own python3 starts it faster than a
# python3 shim that may come first on PATH (a third of the time of a compile).
set(KELO_EMCC_ENV NODE_PATH=${KELO_NODE_PATH})
if(EXISTS /usr/bin/python3)
  set(ENV{EMSDK_PYTHON} /usr/bin/python3)
  list(APPEND KELO_EMCC_ENV EMSDK_PYTHON=/usr/bin/python3)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/deps-prefix.cmake)
kelo_deps_prefix(web)

find_program(KELO_NODE node REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KELO_NODE} --no-experimental-fetch)

include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# Searched before the sysroot, whose lib/cmake/SDL2 would hand out the port.
list(PREPEND CMAKE_FIND_ROOT_PATH "${KELO_DEPS_PREFIX}")
list(PREPEND CMAKE_PREFIX_PATH "${KELO_DEPS_PREFIX}")
set(ENV{PKG_CONFIG_LIBDIR} "${KELO_DEPS_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

set(CMAKE_C_COMPILER_LAUNCHER /usr/bin/env ${KELO_EMCC_ENV})
set(CMAKE_CXX_COMPILER_LAUNCHER /usr/bin/env ${KELO_EMCC_ENV})
set(CMAKE_C_LINKER_LAUNCHER /usr/bin/env ${KELO_EMCC_ENV})
set(CMAKE_CXX_LINKER_LAUNCHER /usr/bin/env ${KELO_EMCC_ENV})

# For programs run under node, such as tests:
#   target_link_options(T PRIVATE -fexceptions -sEXIT_RUNTIME=1 -sNODERAWFS=1
#                       --pre-js ${KELO_NODE_ENV_JS})
# (exit code and real files under node; getenv sees node's environment).
set(KELO_NODE_ENV_JS ${CMAKE_CURRENT_LIST_DIR}/node-env.js)
