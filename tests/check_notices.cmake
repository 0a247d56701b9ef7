# The licence notices of every third-party part can be written (each part is
# complete, each licence it names has its text), and every text in LICENSES/
# belongs to some part, so a dropped part leaves no text behind.
execute_process(
  COMMAND ${CMAKE_COMMAND} -D OUT=${OUT} -D PARTS=all -D HTML=lizenzen.html -P ${SOURCE_DIR}/dist/notices.cmake
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "notices.cmake failed for all parts")
endif()
file(GLOB texts RELATIVE ${SOURCE_DIR}/LICENSES ${SOURCE_DIR}/LICENSES/*.txt)
file(GLOB used RELATIVE ${OUT}/LICENSES ${OUT}/LICENSES/*.txt)
list(REMOVE_ITEM texts ${used})
if(texts)
  message(FATAL_ERROR "LICENSES/ holds texts no part of THIRD-PARTY.md names: ${texts}")
endif()
file(READ ${OUT}/lizenzen.html html)
if(NOT html MATCHES "<h3 id=\"Zlib\">Zlib</h3>")
  message(FATAL_ERROR "lizenzen.html lacks the licence texts")
endif()
