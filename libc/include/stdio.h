#ifndef _STDIO_H
#define _STDIO_H

#include <_lbw_cdefs.h>
#include <stdarg.h>
#include <stddef.h>

_LBW_BEGIN_C

int snprintf(char *buffer, size_t size, const char *format, ...);
int vsnprintf(char *buffer, size_t size, const char *format, va_list args);

_LBW_END_C

#endif
