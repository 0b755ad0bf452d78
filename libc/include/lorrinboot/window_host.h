/* LorrinBoot host records of the display and the pointer, as the host lays them out
 * (little-endian, no padding between fields), and the layout checks of these and of the
 * image decoder's record (host.h). The library clears each record before it hands it to
 * the host entry that fills it. */
#ifndef LORRINBOOT_WINDOW_HOST_H
#define LORRINBOOT_WINDOW_HOST_H

#include "host.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#define LM_RECORD_ASSERT(condition) static_assert(condition, #condition)
#else
#define LM_RECORD_ASSERT(condition) _Static_assert(condition, #condition)
#endif

/* Filled by query_framebuffer (0x7C): the display's framebuffer. 52 bytes; the
 * 64-bit address sits at offset 0, so the record is only 4-byte aligned. */
typedef struct __attribute__((packed, aligned(4))) LmBaremetalProgramFramebufferInfo {
    uint64_t address;        /* 0x00 first byte of the top-left pixel */
    uint32_t host_word;      /* 0x08 the host's own; must be nonzero */
    uint32_t pitch;          /* 0x0C bytes from one row to the next */
    uint32_t width;          /* 0x10 pixels */
    uint32_t height;         /* 0x14 rows */
    uint32_t bits_per_pixel; /* 0x18 only 32 is drawn to */
    uint32_t red_size;       /* 0x1C field width in bits */
    uint32_t red_shift;      /* 0x20 position of the field's lowest bit */
    uint32_t green_size;     /* 0x24 */
    uint32_t green_shift;    /* 0x28 */
    uint32_t blue_size;      /* 0x2C */
    uint32_t blue_shift;     /* 0x30 */
} LmBaremetalProgramFramebufferInfo;

/* Flags of LmBaremetalProgramPointerState. */
#define LM_POINTER_ABSOLUTE 0x1u
#define LM_POINTER_RELATIVE 0x2u

/* Filled by poll_pointer (0x80): one pointer report. */
typedef struct LmBaremetalProgramPointerState {
    uint32_t flags;      /* 0x00 LM_POINTER_ABSOLUTE, LM_POINTER_RELATIVE */
    uint32_t buttons;    /* 0x04 bits 0-2: buttons 0-2 down; only the low byte is read */
    int32_t absolute_x;  /* 0x08 */
    int32_t absolute_y;  /* 0x0C */
    int32_t relative_x;  /* 0x10 */
    int32_t relative_y;  /* 0x14 */
    uint32_t range_x;    /* 0x18 value of absolute_x at the right-most column; 0 = already in pointer space */
    uint32_t range_y;    /* 0x1C likewise for absolute_y and the bottom row */
} LmBaremetalProgramPointerState;

LM_RECORD_ASSERT(sizeof(LmBaremetalProgramFramebufferInfo) == 52);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramFramebufferInfo, host_word) == 0x08);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramFramebufferInfo, pitch) == 0x0C);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramFramebufferInfo, width) == 0x10);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramFramebufferInfo, height) == 0x14);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramFramebufferInfo, bits_per_pixel) == 0x18);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramFramebufferInfo, red_size) == 0x1C);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramFramebufferInfo, red_shift) == 0x20);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramFramebufferInfo, green_size) == 0x24);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramFramebufferInfo, green_shift) == 0x28);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramFramebufferInfo, blue_size) == 0x2C);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramFramebufferInfo, blue_shift) == 0x30);

LM_RECORD_ASSERT(sizeof(LmBaremetalProgramPointerState) == 32);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramPointerState, buttons) == 0x04);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramPointerState, absolute_x) == 0x08);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramPointerState, absolute_y) == 0x0C);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramPointerState, relative_x) == 0x10);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramPointerState, relative_y) == 0x14);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramPointerState, range_x) == 0x18);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramPointerState, range_y) == 0x1C);

LM_RECORD_ASSERT(sizeof(LmBaremetalProgramImageInfo) == 24);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramImageInfo, sizeBytes) == 0x08);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramImageInfo, width) == 0x0C);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramImageInfo, height) == 0x10);
LM_RECORD_ASSERT(offsetof(LmBaremetalProgramImageInfo, padding) == 0x14);

#undef LM_RECORD_ASSERT

#ifdef __cplusplus
}
#endif

#endif
