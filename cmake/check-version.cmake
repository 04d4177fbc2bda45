# ctest: runs `kawase -usage` and checks that its version row names the
# project's version, the one the packages carry.
#   cmake -DKAWASE=<binary> -DVERSION=<version> [-DLAUNCHER=<command>] -P check-version.cmake
execute_process(COMMAND ${LAUNCHER} ${KAWASE} -usage
                OUTPUT_VARIABLE usage
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kawase -usage exited with ${status}")
endif()
string(REGEX MATCHALL "Version: [^\r\n]*" rows "${usage}")
if(NOT rows STREQUAL "Version: ${VERSION}")
  message(FATAL_ERROR "kawase -usage shows [${rows}], the project's version is ${VERSION}")
endif()
message(STATUS "kawase -usage shows Version: ${VERSION}")
