/* The few <stdlib.h> declarations the boot host's third-party PNG decoder includes;
 * it is configured to allocate through the host heap and to use none of these. */
#ifndef LORRINBOOT_BOOT_STDLIB_H
#define LORRINBOOT_BOOT_STDLIB_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

int abs(int value);

#ifdef __cplusplus
}
#endif

#endif
