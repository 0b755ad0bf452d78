/* Writes a line, then stops the machine. */
#include <lorrinboot.h>
#include <stdlib.h>

int main(void) {
    lm_lua_write("about to stop\n", 14);
    abort();
}
