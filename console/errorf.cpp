// Formatted error text for the shell: one text argument through a 320-byte buffer.
#include "libc/library.h"

#include <lorrinboot/console.h>
#include <stdio.h>

LM_EXPORT void lm_lua_write_errorf(const char *format, const char *text) {
    char buffer[320];
    int produced = snprintf(buffer, sizeof buffer, format ? format : "%s", text ? text : "");
    if (produced <= 0)
        return;
    // A longer result was cut to what the buffer holds before its terminator.
    uint64_t length = static_cast<uint64_t>(produced);
    lm_lua_write(buffer, length < sizeof buffer - 1 ? length : sizeof buffer - 1);
}
