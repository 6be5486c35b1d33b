# Installs the build into a fresh prefix and runs the installed binary.
#   cmake -DBUILD_DIR=dir -DPREFIX=dir -DVERSION=x.y.z -P install_test.cmake
function(fail)
  string(CONCAT message ${ARGN})
  message(FATAL_ERROR "${message}")
endfunction()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(
  COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  fail("cmake --install failed: ${result}")
endif()

foreach(file bin/veldran share/man/man1/veldran.1 share/doc/veldran/manual.md)
  if(NOT EXISTS "${PREFIX}/${file}")
    fail("not installed: ${file}")
  endif()
endforeach()

set(veldran "${PREFIX}/bin/veldran")
execute_process(COMMAND "${veldran}" --version
  OUTPUT_VARIABLE version RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT version STREQUAL "veldran ${VERSION}\n")
  fail("--version gave exit code ${result} and '${version}'")
endif()

# A run with the default file names, in a directory of its own. The output
# is read as hex: a text read would drop the CR.
set(work "${PREFIX}/work")
file(MAKE_DIRECTORY "${work}")
file(WRITE "${work}/TEST.INP" "%SET N=6;\r\nN*7=%INT(3):N*7;\r\n")
execute_process(COMMAND "${veldran}" WORKING_DIRECTORY "${work}"
  OUTPUT_VARIABLE console RESULT_VARIABLE result)
file(READ "${work}/TEST.OUT" output HEX)
string(HEX "N*7=042\r\n" expected)
if(NOT result EQUAL 0 OR NOT console STREQUAL "" OR
   NOT output STREQUAL expected)
  fail("the installed binary gave exit code ${result}, console '${console}', "
       "output (hex) ${output}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
