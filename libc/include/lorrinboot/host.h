/* LorrinBoot host records: the program API table at 0x6800 and the boot hand-off
 * area at 0x6000, as the host lays them out. All fields are little-endian. */
#ifndef LORRINBOOT_HOST_H
#define LORRINBOOT_HOST_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define LM_PROGRAM_API_ADDRESS 0x6800u
#define LM_BOOT_HANDOFF_ADDRESS 0x6000u
#define LM_PROGRAM_API_MAGIC 0x50414D4Cu /* "LMAP" */
#define LM_BOOT_WIDE_MAP_MAGIC 0x3436484Cu /* "LH64" */

/* Byte offsets of the host entries in the program API table. */
#define LM_ENTRY_CREATE_WINDOW 0x14u
#define LM_ENTRY_DESTROY_WINDOW 0x18u
#define LM_ENTRY_POLL_KEY 0x2Cu
#define LM_ENTRY_STAT_FILE 0x34u
#define LM_ENTRY_WRITE_FILE 0x38u
#define LM_ENTRY_DELETE_FILE 0x3Cu
#define LM_ENTRY_CONSOLE_WRITE_LINE 0x40u
#define LM_ENTRY_READ_LINE 0x44u
#define LM_ENTRY_MALLOC 0x4Cu
#define LM_ENTRY_FREE 0x50u
#define LM_ENTRY_REALLOC 0x54u
#define LM_ENTRY_PNG_DECODE_FILE 0x58u
#define LM_ENTRY_QUERY_FRAMEBUFFER 0x7Cu
#define LM_ENTRY_POLL_POINTER 0x80u
#define LM_ENTRY_EXIT 0x84u

/* The program API table: a header and a row of 32-bit host function addresses
 * (0 = the service is not provided). Words the library never reads are reserved. */
typedef struct LmBaremetalProgramApi {
    uint32_t magic;              /* 0x00 */
    uint32_t ready;              /* 0x04 */
    uint32_t size;               /* 0x08 */
    uint32_t reserved_0c[2];     /* 0x0C */
    uint32_t create_window;      /* 0x14 */
    uint32_t destroy_window;     /* 0x18 */
    uint32_t reserved_1c[4];     /* 0x1C */
    uint32_t poll_key;           /* 0x2C */
    uint32_t reserved_30;        /* 0x30 */
    uint32_t stat_file;          /* 0x34 */
    uint32_t write_file;         /* 0x38 */
    uint32_t delete_file;        /* 0x3C */
    uint32_t console_write_line; /* 0x40 */
    uint32_t read_line;          /* 0x44 */
    uint32_t reserved_48;        /* 0x48 */
    uint32_t malloc;             /* 0x4C */
    uint32_t free;               /* 0x50 */
    uint32_t realloc;            /* 0x54 */
    uint32_t png_decode_file;    /* 0x58 */
    uint32_t reserved_5c[8];     /* 0x5C */
    uint32_t query_framebuffer;  /* 0x7C */
    uint32_t poll_pointer;       /* 0x80 */
    uint32_t exit;               /* 0x84: void (int32_t status), never returns; ends the
                                    program as if main had returned status */
} LmBaremetalProgramApi;

/* Filled by stat_file. */
typedef struct LmBaremetalProgramFileInfo {
    uint32_t address; /* where the file's bytes lie; they stay there while a stream reads them */
    uint32_t size;
    uint32_t reserved; /* zeroed by the caller, never read */
} LmBaremetalProgramFileInfo;

/* Filled by png_decode_file; the pixels lie in the host heap and go back through the
 * host's free entry. */
typedef struct LmBaremetalProgramImageInfo {
    uint64_t pixels; /* address of the decoded pixels */
    uint32_t sizeBytes;
    uint32_t width;
    uint32_t height;
    uint32_t padding; /* cleared by the caller, never read */
} LmBaremetalProgramImageInfo;

typedef struct LmBootLegacyMemoryRegion {
    uint32_t base;
    uint32_t length;
} LmBootLegacyMemoryRegion;

typedef struct LmBootWideMemoryRegion {
    uint64_t base;
    uint64_t length;
} LmBootWideMemoryRegion;

/* The fields of the boot hand-off area that the library reads, at their offsets
 * from 0x6000. */
typedef struct LmBootHandoff {
    uint8_t unused_000[0x88];
    uint32_t memory_top;                       /* 0x6088 */
    uint32_t legacy_count;                     /* 0x608C */
    LmBootLegacyMemoryRegion legacy_map[16];   /* 0x6090 */
    uint8_t unused_110[0x238 - 0x110];
    uint32_t wide_magic;                       /* 0x6238 */
    uint32_t wide_count;                       /* 0x623C */
    LmBootWideMemoryRegion wide_map[64];       /* 0x6240 */
} LmBootHandoff;

#ifdef __cplusplus
}
#endif

#endif
