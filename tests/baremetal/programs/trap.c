/* trap: writes one line and executes an invalid instruction. */
#include <lorrinboot.h>
#include <string.h>

int main(void) {
    const char *line = "about to trap\n";
    lm_lua_write(line, strlen(line));
    __builtin_trap();
}
