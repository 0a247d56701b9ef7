# Fails when a source file outside src/platform/ includes an SDL header or
# Emscripten's, or (in the game's own code) asks which system it is built
# for; when a component every
# build shares (src/platform/core/) includes SDL, a system header or another
# part of the platform layer; or when the browser's own headers turn up
# outside the browser's folders (src/platform/web/, src/platform/os/web/).
file(GLOB_RECURSE sources
  ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp
  ${SOURCE_DIR}/tools/*.h ${SOURCE_DIR}/tools/*.cpp
  ${SOURCE_DIR}/tests/*.h ${SOURCE_DIR}/tests/*.cpp
  ${SOURCE_DIR}/bench/*.h ${SOURCE_DIR}/bench/*.cpp
  ${SOURCE_DIR}/assets/*.h ${SOURCE_DIR}/assets/*.cpp)
set(offenders "")
foreach(f ${sources})
  if(f MATCHES "/src/platform/core/")
    # Standard C++ only, the portable libraries (giflib, FreeType, the
    # processor's vector instructions) and the core's own headers.
    file(STRINGS ${f} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line ${includes})
      if(line MATCHES "[<\"]SDL" OR line MATCHES "<(sys|linux|asm|bits|emscripten|mach)/" OR
         line MATCHES "<(unistd|fcntl|pwd|dirent|dlfcn|pthread|signal|termios|poll|windows|winbase|io|direct|shlobj|emscripten)\\.h>" OR
         line MATCHES "\"platform/(os|sdl|headless|web|windows)")
        list(APPEND offenders "${f}: ${line}")
      endif()
    endforeach()
  elseif(NOT f MATCHES "/src/platform/")
    file(STRINGS ${f} hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](SDL|emscripten)")
    set(asks "")
    if(f MATCHES "${SOURCE_DIR}/src/")
      file(STRINGS ${f} asks REGEX "^[ \t]*#[ \t]*(if|ifdef|ifndef|elif).*(__EMSCRIPTEN__|_WIN32|__linux__|__APPLE__)")
    endif()
    if(hits OR asks)
      list(APPEND offenders ${f})
    endif()
  elseif(NOT f MATCHES "/src/platform/(web|os/web)/")
    file(STRINGS ${f} hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]emscripten")
    if(hits)
      list(APPEND offenders ${f})
    endif()
  endif()
endforeach()
if(offenders)
  message(FATAL_ERROR "Includes out of place: ${offenders}")
endif()
