// The failure path of assert: a console report of what failed, then the machine stops.
#include "console/output.h"
#include "libc/library.h"

#include <lorrinboot/console.h>
#include <stdlib.h>

namespace {

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
    lm_lua_write_cstr(file ? file : "?");
    lm_lua_write_cstr(":");
    write_decimal(line);
    lm_lua_write_cstr(": ");
    lm_lua_write_cstr(function ? function : "?");
    lm_lua_write_cstr(": Assertion `");
    lm_lua_write_cstr(expression ? expression : "?");
    lm_lua_write_cstr("' failed.\n");
    abort();
}
