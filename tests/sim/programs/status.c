/* Echoes one input line and returns 7. */
#include <lorrinboot.h>
#include <string.h>

int main(void) {
    char line[64];
    while (lm_lua_readline(line, sizeof line, "", 0)) {
        lm_lua_write("got ", 4);
        lm_lua_write(line, strlen(line));
        lm_lua_writeline();
    }
    lm_lua_write("end of input", 12);
    lm_lua_flush_output();
    return 7;
}
