# What a copy of the game carries about its licences, for every build that
# ships one (dist/ for Linux, dist/windows/ for Windows).
# kelo_notices(<target> <folder> <part>... [HTML <page>] [VERSIONS <part>=<version>...]):
# a target that writes LICENSE, THIRD-PARTY.txt and LICENSES/ for those parts of
# THIRD-PARTY.md into folder, and with HTML also one web page of all of it (see
# notices.cmake, which a script can also run itself).
function(kelo_notices target folder)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "HTML" "VERSIONS")
  file(GLOB texts CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSES/*.txt)
  list(JOIN arg_UNPARSED_ARGUMENTS "," parts)
  list(JOIN arg_VERSIONS "," versions)
  set(outputs ${folder}/LICENSE ${folder}/THIRD-PARTY.txt)
  if(arg_HTML)
    list(APPEND outputs ${folder}/${arg_HTML})
  endif()
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND ${CMAKE_COMMAND} -D OUT=${folder} -D PARTS=${parts} -D VERSIONS=${versions} -D HTML=${arg_HTML}
            -P ${PROJECT_SOURCE_DIR}/dist/notices.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/dist/notices.cmake ${PROJECT_SOURCE_DIR}/THIRD-PARTY.md
            ${PROJECT_SOURCE_DIR}/LICENSE ${texts}
    COMMENT "Writing the licence notices into ${folder}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()
