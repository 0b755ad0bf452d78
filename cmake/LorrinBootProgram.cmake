# lorrinboot_add_program(NAME SOURCES...)
#
# Builds a program for LorrinBootWindow: a shared module that exports `int main(void)`,
# compiled against the library's public headers alone and linked against the library
# file. The simulator (and the bare-metal host) load it beside the library.
set(LORRINBOOT_PROGRAM_FLAGS
  -fsjlj-exceptions -nostdlibinc -fno-stack-protector -fPIC)

function(lorrinboot_add_program name)
  add_library(${name} SHARED ${ARGN})
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".so")
  target_compile_options(${name} PRIVATE ${LORRINBOOT_PROGRAM_FLAGS})
  target_link_options(${name} PRIVATE -nostdlib -fuse-ld=lld -Wl,--no-undefined)
  target_link_libraries(${name} PRIVATE LorrinBootWindow)
  _lorrinboot_add_run_target(${name})
endfunction()

# With an installed library the simulator is known: each program also gets a target
# run-NAME that runs it there.
function(_lorrinboot_add_run_target name)
  if(LORRINBOOT_SIMULATOR AND NOT TARGET run-${name})
    add_custom_target(run-${name}
      COMMAND ${LORRINBOOT_SIMULATOR} $<TARGET_FILE:${name}>
      DEPENDS ${name} USES_TERMINAL
      COMMENT "Running ${name} in the LorrinBoot simulator")
  endif()
endfunction()
