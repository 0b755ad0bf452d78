/* Uses one function of every public header of the foundation, through the headers only. */
#include <lorrinboot.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <time.h>

static void say(const char *text) {
    lm_lua_write(text, strlen(text));
}

int main(void) {
    char line[80];
    char *copy = strdup("copied");
    int n = snprintf(line, sizeof line, "%s %d %lu %f %s", "sum", abs(-3), (unsigned long)strlen("four"), 0.5, copy);
    free(copy);
    lm_lua_write(line, (uint64_t)n);
    lm_lua_writeline();

    unsigned char *block = (unsigned char *)lm_probe_heap_alloc(32);
    bzero(block, 32);
    memset(block, 7, 4);
    n = snprintf(line, sizeof line, "probe %d %d", block[3], block[4]);
    say(line);
    lm_lua_flush_output();

    time_t t;
    clock_t c = clock();
    n = snprintf(line, sizeof line, "time %lx clock %ld env %p", (unsigned long)time(&t), (long)c, (void *)getenv("HOME"));
    say(line);
    say("\n");
    lm_lua_write_errorf("error %s\n", "shown");
    return n;
}
