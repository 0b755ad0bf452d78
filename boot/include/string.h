/* Memory and string functions of the boot host (boot/runtime.cpp). */
#ifndef LORRINBOOT_BOOT_STRING_H
#define LORRINBOOT_BOOT_STRING_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

void *memcpy(void *destination, const void *source, size_t count);
void *memmove(void *destination, const void *source, size_t count);
void *memset(void *destination, int value, size_t count);
int memcmp(const void *a, const void *b, size_t count);
size_t strlen(const char *text);
int strcmp(const char *a, const char *b);
int strncmp(const char *a, const char *b, size_t count);

#ifdef __cplusplus
}
#endif

#endif
