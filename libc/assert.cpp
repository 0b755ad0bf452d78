// The failure path of assert: a console report of what failed, then the machine stops.
#include "libc/library.h"

#include <lorrinboot/console.h>
#include <stdlib.h>
#include <string.h>

namespace {

void write_text(const char *text) {
    lm_lua_write(text, strlen(text));
}

void write_decimal(unsigned int value) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0)
        lm_lua_write(&digits[--count], 1);
}

} // namespace

LM_EXPORT __attribute__((noreturn)) void __assert_fail(const char *expression, const char *file,
                                                       unsigned int line, const char *function) {
    write_text(file ? file : "?");
    write_text(":");
    write_decimal(line);
    write_text(": ");
    write_text(function ? function : "?");
    write_text(": Assertion `");
    write_text(expression ? expression : "?");
    write_text("' failed.\n");
    abort();
}
