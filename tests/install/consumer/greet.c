#include <lorrinboot.h>
#include <string.h>

int program_status(void);

int main(void) {
    const char *text = "greetings from an installed library\n";
    lm_lua_write(text, strlen(text));
    return program_status();
}
