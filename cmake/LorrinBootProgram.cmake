# lorrinboot_add_program(NAME SOURCES...)
#
# Builds a program for LorrinBootWindow: a shared module that exports `int main(void)`,
# compiled from C and C++ sources against the library's public headers alone and linked
# against the library file, with nothing of the host system's C or C++ runtime. The
# simulator (and the bare-metal host) load it beside the library.
#
# Each program is also linked with lorrinboot_program_runtime, the small archive of what
# must live in the program itself: __dso_handle, to which the compiler refers as a
# hidden symbol when it registers static destructors.
set(LORRINBOOT_PROGRAM_FLAGS
  -fsjlj-exceptions -nostdlibinc -fno-stack-protector -fPIC)

function(lorrinboot_add_program name)
  add_library(${name} SHARED ${ARGN})
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".so")
  target_compile_options(${name} PRIVATE ${LORRINBOOT_PROGRAM_FLAGS})
  target_link_options(${name} PRIVATE -nostdlib -fuse-ld=lld -Wl,--no-undefined)
  target_link_libraries(${name} PRIVATE LorrinBootWindow lorrinboot_program_runtime)
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
