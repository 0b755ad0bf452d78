// Console input, the shell's banner and help text, and the fixed clock, time,
// environment and command answers of a machine without an operating system.
#include "console/output.h"

#include "host/program_api.h"

#include <lorrinboot/console.h>
#include <time.h>

uint64_t gLuaClockTicks;

LM_EXPORT bool lm_lua_readline(char *buffer, uint64_t capacity, const char *text, uint8_t flag) {
    if (!buffer || capacity == 0)
        return false;
    lm_lua_flush_output();
    // The host's capacity field is 32 bits: a larger buffer is offered as 4 GiB - 1.
    uint32_t host_capacity = capacity > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(capacity);
    return lm::host::read_line(buffer, host_capacity, text, flag) != 0;
}

LM_EXPORT void lm_lua_show_banner(void) {
    lm_lua_write_cstr("LorrinLua Desktop For LorrinBoot\r\n");
    lm_lua_write_cstr("type Lua code at the LorrinBoot prompt and press Enter\r\n");
    lm_lua_write_cstr("type exit or press Esc on an empty prompt to leave\r\n");
    lm_lua_write_cstr("autoruns index.lua if it is present\r\n");
    lm_lua_write_cstr("use dofile(\"name.lua\") to run files from disk\r\n");
    lm_lua_write_cstr("\r\n");
}

LM_EXPORT void lm_lua_show_help(void) {
    lm_lua_write_cstr("Embedded Version:: LorrinLua 0.2\r\n");
    lm_lua_write_cstr("\r\n");
}

LM_EXPORT clock_t clock(void) {
    return static_cast<clock_t>(gLuaClockTicks++);
}

LM_EXPORT time_t time(time_t *out) {
    const time_t kFixedTime = 0x4C4D4236;
    if (out)
        *out = kFixedTime;
    return kFixedTime;
}

LM_EXPORT char *getenv(const char *) {
    return nullptr;
}

LM_EXPORT int system(const char *) {
    return -1;
}
