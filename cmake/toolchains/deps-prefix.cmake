# The folder of the libraries tools/deps.sh built for a target (windows, web):
# KELO_DEPS_PREFIX from the cache or the environment, else build/deps/TARGET.
# Handed on to the test projects that check the compiler.
macro(kelo_deps_prefix target)
  if(NOT KELO_DEPS_PREFIX)
    if(DEFINED ENV{KELO_DEPS_PREFIX})
      set(KELO_DEPS_PREFIX "$ENV{KELO_DEPS_PREFIX}")
    else()
      get_filename_component(KELO_DEPS_PREFIX "${CMAKE_CURRENT_LIST_DIR}/../../build/deps/${target}" ABSOLUTE)
    endif()
  endif()
  list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KELO_DEPS_PREFIX)
endmacro()
