# Installs the build into a fresh prefix, builds a user's project against it with the
# CMake package, and runs the program with the installed simulator.
# Arguments: -DBUILD_DIR= -DSOURCE_DIR= -DWORK_DIR=
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix
  RESULT_VARIABLE result OUTPUT_QUIET)
if(result)
  message(FATAL_ERROR "install failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/install/consumer -B ${WORK_DIR}/build
  -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(result)
  message(FATAL_ERROR "configuring the user's project failed:\n${out}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(result)
  message(FATAL_ERROR "building the user's project failed:\n${out}")
endif()
execute_process(COMMAND ${WORK_DIR}/prefix/bin/lorrinboot-sim ${WORK_DIR}/build/greet.so
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 3 OR NOT out STREQUAL "greetings from an installed library\n")
  message(FATAL_ERROR "the program ran wrongly: status ${result}, output '${out}', errors '${err}'")
endif()
