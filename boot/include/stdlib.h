/* What the boot host's third-party PNG decoder needs of <stdlib.h>: abs (its PNG
 * filters use it). It allocates through the host heap, not malloc. */
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
