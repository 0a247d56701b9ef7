# Fails unless the JavaScript of the two programs (A, B) is the same but for
# the names of the files each loads and the tag of its data package: the page
# runs either .wasm with one kelo.js.
foreach(which a b)
  string(TOUPPER ${which} file)
  file(READ ${${file}} text)
  string(REPLACE "kelo-simd" "kelo" text "${text}")
  string(REGEX REPLACE "PACKAGE_NAME=\"[^\"]*\"" "" text "${text}")
  string(REGEX REPLACE "datafile_[^\"]*\"" "" text "${text}")
  string(REGEX REPLACE "\"package_uuid\":\"[^\"]*\"" "" text "${text}")
  set(${which} "${text}")
endforeach()
if(NOT a STREQUAL b)
  message(FATAL_ERROR "${A} and ${B} differ: the page cannot load kelo-simd.wasm with kelo.js")
endif()
