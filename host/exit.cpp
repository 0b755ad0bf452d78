// exit: what the program has written but not yet handed over reaches the host, then
// the host ends the program. Nothing registered runs: the library records no exit
// functions (__cxa_atexit keeps nothing).
#include "host/program_api.h"

#include <stdio.h>
#include <stdlib.h>

LM_EXPORT __attribute__((noreturn)) void exit(int status) {
    fflush(nullptr); // every open stream and the console's pending line
    lm::host::exit(status);
    abort(); // no host service to end the program, or one that came back
}
