/* For every input line "read PATH" or "write PATH TEXT": reads the whole file and prints
 * its text, or writes TEXT to it, and says what happened. */
#include <lorrinboot.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void say(const char *text) {
    lm_lua_write(text, strlen(text));
    lm_lua_writeline();
}

int main(void) {
    char line[256], out[320];
    while (lm_lua_readline(line, sizeof line, "", 0)) {
        if (strncmp(line, "read ", 5) == 0) {
            uint8_t *data;
            uint64_t size;
            if (lmfs_read_entire_file(line + 5, &data, &size)) {
                char text[64];
                uint64_t n = size < sizeof text - 1 ? size : sizeof text - 1;
                memcpy(text, data, n);
                text[n] = 0;
                snprintf(out, sizeof out, "%s: %s", line + 5, text);
                free(data);
            } else {
                snprintf(out, sizeof out, "%s: absent", line + 5);
            }
        } else if (strncmp(line, "write ", 6) == 0) {
            char *path = line + 6, *text = strchr(path, ' ');
            if (!text)
                continue;
            *text++ = 0;
            snprintf(out, sizeof out, "%s: %s", path, lmfs_write_entire_file(path, text, strlen(text)) ? "written" : "refused");
        } else {
            continue;
        }
        say(out);
    }
    return 0;
}
