# Compiler and linker settings shared by the library, the substitute host and the tests.

# The library: freestanding, position independent, SjLj exception model, no stack
# protector, nothing from the host's C library. The library's own code never throws and
# calls back into no program code that could throw through it, so it is compiled without
# landing pads: its frames need no registration with the unwinder.
set(LBW_FREESTANDING_FLAGS
  -ffreestanding -fno-builtin -nostdlibinc -fPIC
  -fsjlj-exceptions -fno-stack-protector -fno-asynchronous-unwind-tables
  -fno-exceptions -fno-rtti
  -Wall -Wextra -Werror)

# The memory and string functions' short paths are a few dozen instructions run back to
# back, whose time goes to fetching them: where a function, a loop and a jump target
# start decides much of it, so their sources start them on cache-line and 16-byte
# boundaries, and are optimized the same whatever the build type (at -O2 the compiler
# merges the ends of short paths, a taken branch more).
set(LBW_STRING_FUNCTION_FLAGS -O3 -falign-functions=64 -falign-loops=64 -mllvm -align-all-nofallthru-blocks=4)

# Hosted code: warnings are errors; sanitizers when LBW_SANITIZE is on. These flags are
# set per target, never globally, so that they never reach the freestanding targets.
set(LBW_HOSTED_FLAGS -Wall -Wextra -Werror)
set(LBW_HOSTED_LINK_FLAGS)
if(LBW_SANITIZE)
  list(APPEND LBW_HOSTED_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer)
  list(APPEND LBW_HOSTED_LINK_FLAGS -fsanitize=address,undefined)
endif()

function(lbw_hosted_target target)
  target_compile_options(${target} PRIVATE ${LBW_HOSTED_FLAGS})
  target_link_options(${target} PRIVATE ${LBW_HOSTED_LINK_FLAGS})
endfunction()

# A freestanding module compiled with the library's own flags (the library itself and
# test modules that reach its internals).
function(lbw_freestanding_target target)
  target_compile_options(${target} PRIVATE ${LBW_FREESTANDING_FLAGS})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/libc/include)
  target_link_options(${target} PRIVATE -nostdlib -fuse-ld=lld -Wl,--no-undefined
    -Wl,-Bsymbolic -Wl,-z,now)
endfunction()
