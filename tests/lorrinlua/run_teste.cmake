# Runs one file of Lua's test suite through the shell in the simulator:
#   cmake -DSIM=... -DSHELL=... -DTESTES=... -DNAME=... -DWORK=... -DRUNNER=... -DSKIPS=... -P run_teste.cmake
# The suite's files are copied into WORK, which becomes the shell's file store, and the
# runner goes in as index.lua, which the shell runs at start.
file(REMOVE_RECURSE ${WORK})
# The suite writes beside its files, whatever the permissions of the copy it came from.
file(COPY ${TESTES}/ DESTINATION ${WORK} NO_SOURCE_PERMISSIONS)
file(COPY ${SKIPS} DESTINATION ${WORK})
file(READ ${RUNNER} runner)
file(WRITE ${WORK}/index.lua "TESTE = '${NAME}.lua'\n${runner}")
execute_process(COMMAND ${SIM} --headless --root ${WORK} ${SHELL}
  INPUT_FILE /dev/null OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE status)
message("${output}")
if(NOT status EQUAL 0 OR NOT output MATCHES "\nTESTE PASSED ${NAME}.lua\n")
  message(FATAL_ERROR "${NAME}.lua failed (status ${status})")
endif()
