/* LorrinBoot-specific interfaces of LorrinBootWindow: the host records and every
 * lm_* function an application may call. */
#ifndef LORRINBOOT_H
#define LORRINBOOT_H

#include <lorrinboot/host.h>
#include <lorrinboot/memory.h>
#include <lorrinboot/console.h>
#include <lorrinboot/files.h>
#include <lorrinboot/window.h>
#include <lorrinboot/window_host.h>
#include <lorrinboot/intmath.h>

#endif
