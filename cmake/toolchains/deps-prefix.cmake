# The folder of the libraries tools/deps.sh built for a target (windows, web):
# KELO_DEPS_PREFIX from the cache, or from the environment when set and not
# empty, else build/deps/TARGET. A relative path is taken from the checkout's
# root, as tools/deps.sh takes it. Handed on to the test projects that check
# the compiler.
get_filename_component(KELO_CHECKOUT_DIR "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
macro(kelo_deps_prefix target)
  if(NOT KELO_DEPS_PREFIX)
    set(KELO_DEPS_PREFIX "$ENV{KELO_DEPS_PREFIX}")
    if(KELO_DEPS_PREFIX STREQUAL "")
      set(KELO_DEPS_PREFIX "build/deps/${target}")
    endif()
  endif()
  get_filename_component(KELO_DEPS_PREFIX "${KELO_DEPS_PREFIX}" ABSOLUTE BASE_DIR "${KELO_CHECKOUT_DIR}")
  list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KELO_DEPS_PREFIX)
endmacro()
