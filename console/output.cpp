// Console output: bytes are collected into one pending line and handed to the host's
// console_write_line entry a line at a time. The host never sees CR or LF.
#include "console/output.h"

#include "host/program_api.h"

#include <lorrinboot/console.h>
#include <string.h>

using lm::console::kLineCapacity;

char gLuaOutputLine[kLineCapacity];
uint64_t gLuaOutputLineLength;

extern "C" void lm_lua_flush_output_line(bool newline) {
    if (gLuaOutputLineLength == 0 && !newline)
        return;
    char line[kLineCapacity];
    memcpy(line, gLuaOutputLine, gLuaOutputLineLength);
    line[gLuaOutputLineLength] = 0;
    lm::host::console_write_line(line);
    gLuaOutputLineLength = 0;
}

LM_EXPORT void lm_lua_write(const void *data, uint64_t length) {
    if (!data)
        return;
    const unsigned char *bytes = static_cast<const unsigned char *>(data);
    for (uint64_t i = 0; i < length; i++) {
        unsigned char byte = bytes[i];
        if (byte == '\b') {
            if (gLuaOutputLineLength > 0)
                gLuaOutputLineLength--;
        } else if (byte == '\r') {
            continue;
        } else if (byte == '\n') {
            lm_lua_flush_output_line(true);
        } else {
            if (gLuaOutputLineLength == kLineCapacity - 1)
                lm_lua_flush_output_line(false);
            gLuaOutputLine[gLuaOutputLineLength++] = static_cast<char>(byte);
        }
    }
}

extern "C" void lm_lua_write_cstr(const char *text) {
    if (text)
        lm_lua_write(text, strlen(text));
}

LM_EXPORT void lm_lua_writeline(void) {
    lm_lua_flush_output_line(true);
}

LM_EXPORT void lm_lua_flush_output(void) {
    lm_lua_flush_output_line(false);
}
