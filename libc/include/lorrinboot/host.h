/* LorrinBoot host records: the program API table at 0x6800 and the boot hand-off
 * area at 0x6000, as the host lays them out. All fields are little-endian. */
#ifndef LORRINBOOT_HOST_H
#define LORRINBOOT_HOST_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define LM_PROGRAM_API_ADDRESS 0x6800u
#define LM_BOOT_HANDOFF_ADDRESS 0x6000u
#define LM_PROGRAM_API_MAGIC 0x50414D4Cu /* "LMAP" */
#define LM_BOOT_WIDE_MAP_MAGIC 0x3436484Cu /* "LH64" */

/* Every host entry of the program API table, one row each:
 *   X(NAME, offset, field, result, (parameters))
 * the entry's LM_ENTRY_NAME and byte offset, its field in LmBaremetalProgramApi, and
 * the signature it is called with (the records of the display and the pointer are
 * declared in window_host.h). An entry is a 32-bit address; 0 means the service is
 * not provided. exit never returns: it ends the program as if main had returned
 * status. */
#define LM_PROGRAM_API_ENTRIES(X)                                                                          \
    X(CREATE_WINDOW, 0x14, create_window, void, (void))                                                    \
    X(DESTROY_WINDOW, 0x18, destroy_window, void, (void))                                                  \
    X(POLL_KEY, 0x2C, poll_key, uint32_t, (void))                                                          \
    X(STAT_FILE, 0x34, stat_file, int, (const char *path, LmBaremetalProgramFileInfo *info))               \
    X(WRITE_FILE, 0x38, write_file, int, (const char *path, const void *data, uint32_t size))              \
    X(DELETE_FILE, 0x3C, delete_file, int, (const char *path))                                             \
    X(CONSOLE_WRITE_LINE, 0x40, console_write_line, void, (const char *text))                              \
    X(READ_LINE, 0x44, read_line, int, (char *buffer, uint32_t capacity, const char *text, uint32_t flag)) \
    X(MALLOC, 0x4C, malloc, void *, (uint64_t size))                                                       \
    X(FREE, 0x50, free, void, (void *pointer))                                                             \
    X(REALLOC, 0x54, realloc, void *, (void *pointer, uint64_t size))                                      \
    X(PNG_DECODE_FILE, 0x58, png_decode_file, int, (const char *path, LmBaremetalProgramImageInfo *info))  \
    X(QUERY_FRAMEBUFFER, 0x7C, query_framebuffer, int, (LmBaremetalProgramFramebufferInfo *info))          \
    X(POLL_POINTER, 0x80, poll_pointer, int, (LmBaremetalProgramPointerState *state))                      \
    X(EXIT, 0x84, exit, void, (int32_t status))

/* Byte offsets of the host entries in the program API table: LM_ENTRY_MALLOC and so on. */
#define LM_ENTRY_OFFSET(NAME, offset, field, result, parameters) LM_ENTRY_##NAME = offset,
enum { LM_PROGRAM_API_ENTRIES(LM_ENTRY_OFFSET) };
#undef LM_ENTRY_OFFSET

/* The program API table: a header and a row of 32-bit host function addresses, at the
 * offsets of LM_PROGRAM_API_ENTRIES. Words the library never reads are reserved. */
typedef struct LmBaremetalProgramApi {
    uint32_t magic;              /* 0x00 */
    uint32_t ready;              /* 0x04 */
    uint32_t size;               /* 0x08 */
    uint32_t reserved_0c[2];     /* 0x0C */
    uint32_t create_window;
    uint32_t destroy_window;
    uint32_t reserved_1c[4];     /* 0x1C */
    uint32_t poll_key;
    uint32_t reserved_30;        /* 0x30 */
    uint32_t stat_file;
    uint32_t write_file;
    uint32_t delete_file;
    uint32_t console_write_line;
    uint32_t read_line;
    uint32_t reserved_48;        /* 0x48 */
    uint32_t malloc;
    uint32_t free;
    uint32_t realloc;
    uint32_t png_decode_file;
    uint32_t reserved_5c[8];     /* 0x5C */
    uint32_t query_framebuffer;
    uint32_t poll_pointer;
    uint32_t exit;
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
#define LM_TABLE_ASSERT(condition) static_assert(condition, #condition)
#else
#define LM_TABLE_ASSERT(condition) _Static_assert(condition, #condition)
#endif
/* Each entry's field lies at its offset. */
#define LM_ENTRY_AT_OFFSET(NAME, offset, field, result, parameters) \
    LM_TABLE_ASSERT(offsetof(LmBaremetalProgramApi, field) == offset);
LM_PROGRAM_API_ENTRIES(LM_ENTRY_AT_OFFSET)
LM_TABLE_ASSERT(sizeof(LmBaremetalProgramApi) == 0x88);
#undef LM_ENTRY_AT_OFFSET
#undef LM_TABLE_ASSERT

#ifdef __cplusplus
}
#endif

#endif
