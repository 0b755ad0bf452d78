/* The console: text collected into lines and sent to the host one line at a time,
 * and line input from the host. */
#ifndef LORRINBOOT_CONSOLE_H
#define LORRINBOOT_CONSOLE_H

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

void lm_lua_write(const void *data, uint64_t length);
void lm_lua_writeline(void);
void lm_lua_flush_output(void);
void lm_lua_write_errorf(const char *format, const char *text);

bool lm_lua_readline(char *buffer, uint64_t capacity, const char *text, uint8_t flag);
void lm_lua_show_banner(void);
void lm_lua_show_help(void);

#ifdef __cplusplus
}
#endif

#endif
