#include "host/program_api.h"

extern "C" bool lm_program_api_field_ready(const volatile LmBaremetalProgramApi *api, uint32_t offset) {
    if (api->magic != LM_PROGRAM_API_MAGIC)
        return false;
    if (api->ready == 0)
        return false;
    uint32_t size = api->size;
    if (size < 12)
        return false;
    // The whole 4-byte entry must lie inside the table (32-bit arithmetic, as the
    // host's own fields are).
    return size >= offset + 4u;
}

extern "C" int lm_lua_app_stat_file(const char *path, LmBaremetalProgramFileInfo *info) {
    auto stat_file = lm::host_entry<int (*)(const char *, LmBaremetalProgramFileInfo *)>(LM_ENTRY_STAT_FILE);
    return stat_file ? stat_file(path, info) : 0;
}

extern "C" int lm_lua_app_write_file(const char *path, const void *data, uint32_t size) {
    auto write_file = lm::host_entry<int (*)(const char *, const void *, uint32_t)>(LM_ENTRY_WRITE_FILE);
    return write_file ? write_file(path, data, size) : 0;
}

extern "C" int lm_lua_app_delete_file(const char *path) {
    auto delete_file = lm::host_entry<int (*)(const char *)>(LM_ENTRY_DELETE_FILE);
    return delete_file ? delete_file(path) : 0;
}

extern "C" int lm_program_png_decode_file(const char *path, LmBaremetalProgramImageInfo *info) {
    auto png_decode_file = lm::host_entry<int (*)(const char *, LmBaremetalProgramImageInfo *)>(LM_ENTRY_PNG_DECODE_FILE);
    return png_decode_file ? png_decode_file(path, info) : 0;
}
