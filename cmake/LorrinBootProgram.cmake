# lorrinboot_add_program(NAME SOURCES...)
#
# Builds a program for LorrinBootWindow: a shared module that exports `int main(void)`,
# compiled from C and C++ sources against the library's public headers alone and linked
# against the library file, with nothing of the host system's C or C++ runtime. The
# simulator (and the bare-metal host) load it beside the library.
#
# Each program also gets cxxabi/program/dso_handle.c, the one piece of the C++ runtime
# that must live in the program itself (the compiler refers to __dso_handle as a hidden
# symbol).
set(LORRINBOOT_PROGRAM_FLAGS
  -fsjlj-exceptions -nostdlibinc -fno-stack-protector -fPIC)
set(LORRINBOOT_PROGRAM_RUNTIME ${CMAKE_CURRENT_LIST_DIR}/../cxxabi/program/dso_handle.c)

function(lorrinboot_add_program name)
  add_library(${name} SHARED ${ARGN} ${LORRINBOOT_PROGRAM_RUNTIME})
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
