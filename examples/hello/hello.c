/* hello: console text in and out on LorrinBootWindow. */
#include <lorrinboot.h>
#include <string.h>

static void say(const char *text) {
    lm_lua_write(text, strlen(text));
}

int main(void) {
    lm_lua_show_banner();
    say("Hello from LorrinBootWindow.\n");
    say("What is your name? ");
    char name[128];
    if (lm_lua_readline(name, sizeof name, "", 0) && name[0]) {
        say("Nice to meet you, ");
        say(name);
        say(".\n");
    } else {
        say("\nNo name given; goodbye.\n");
    }
    return 0;
}
