// Console output internals shared by the console's own files.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace lm::console {

inline constexpr size_t kLineCapacity = 512; // 511 text bytes and the terminator

} // namespace lm::console

// Sends the pending text to the host; with `newline` an empty line is sent too.
extern "C" void lm_lua_flush_output_line(bool newline);
// Writes a NUL-terminated string; null writes nothing.
extern "C" void lm_lua_write_cstr(const char *text);
