/* Names for os.tmpname: the C library has none to give, so the shell picks names in the
 * file store's root that no file has yet. The file is created only when the program
 * writes it, as with any file of the store. */
#include <stdio.h>

char *lorrinlua_tmpnam(char *buffer) {
    static unsigned long next;
    for (int tries = 0; tries < 10000; tries++) {
        snprintf(buffer, 32, "lua_%lu.tmp", next++);
        FILE *existing = fopen(buffer, "r");
        if (existing == NULL)
            return buffer;
        fclose(existing);
    }
    return NULL;
}
