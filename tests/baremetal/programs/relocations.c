/* relocations: a program whose data holds addresses, so that loading it takes every
 * kind of relocation the boot host applies: relative ones for its own strings and
 * functions, 64-bit ones for a library function stored in data, GOT entries for the
 * addresses of library functions taken in code, and PLT slots for calls. Its
 * constructor must have run before main, as a dynamic loader runs it. main returns 0
 * when all of that holds. */
#include <lorrinboot.h>
#include <stdlib.h>
#include <string.h>

static const char *const kWords[] = {"relocated", "strings"};
static int square(int x) {
    return x * x;
}
static int (*const kSquare)(int) = square;
void *(*const kAllocate)(size_t) = malloc;

void *(*volatile allocate_in_code)(size_t);

/* The constructor calls into the library, so the compiler cannot run it ahead of time. */
static void *constructed;
__attribute__((constructor)) static void construct(void) {
    constructed = malloc(8);
}

int main(void) {
    if (!constructed)
        return 5;
    free(constructed);
    allocate_in_code = malloc;
    if (strcmp(kWords[0], "relocated") != 0 || strcmp(kWords[1], "strings") != 0)
        return 1;
    if (kSquare(7) != 49)
        return 2;
    if (kAllocate != allocate_in_code)
        return 3;
    void *p = kAllocate(16);
    if (!p)
        return 4;
    free(p);
    const char *line = "relocations ok\n";
    lm_lua_write(line, strlen(line));
    return 0;
}
