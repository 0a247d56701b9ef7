# Fails when a source file outside src/platform/ includes an SDL header, or
# when a component every build shares (src/platform/core/) includes SDL, a
# system header or another part of the platform layer.
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
    file(STRINGS ${f} hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]SDL")
    if(hits)
      list(APPEND offenders ${f})
    endif()
  endif()
endforeach()
if(offenders)
  message(FATAL_ERROR "Includes out of place: ${offenders}")
endif()
