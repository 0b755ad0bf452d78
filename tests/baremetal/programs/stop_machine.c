/* stop_machine: writes one line and calls abort, which must halt the processor with
 * interrupts off. Nothing after the call may run. */
#include <lorrinboot.h>
#include <stdlib.h>
#include <string.h>

static void say(const char *text) {
    lm_lua_write(text, strlen(text));
}

int main(void) {
    say("stopping the machine\n");
    abort();
    say("abort returned\n");
    return 7;
}
