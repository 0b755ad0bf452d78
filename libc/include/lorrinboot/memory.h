/* The probe heap: an allocate-only, first-fit heap over the machine's memory map,
 * independent of malloc. Blocks are 16-byte aligned and never freed one by one;
 * lm_probe_heap_reset forgets every allocation at once. */
#ifndef LORRINBOOT_MEMORY_H
#define LORRINBOOT_MEMORY_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

void *lm_probe_heap_alloc(uint64_t size);
uint32_t lm_probe_heap_free_bytes(void);
uint64_t lm_probe_heap_free_bytes64(void);
uint32_t lm_probe_heap_total_bytes(void);
uint64_t lm_probe_heap_total_bytes64(void);
void lm_probe_heap_reset(void);

#ifdef __cplusplus
}
#endif

#endif
