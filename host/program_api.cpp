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
    return lm::host::stat_file(path, info);
}

extern "C" int lm_lua_app_write_file(const char *path, const void *data, uint32_t size) {
    return lm::host::write_file(path, data, size);
}

extern "C" int lm_lua_app_delete_file(const char *path) {
    return lm::host::delete_file(path);
}

extern "C" int lm_program_png_decode_file(const char *path, LmBaremetalProgramImageInfo *info) {
    return lm::host::png_decode_file(path, info);
}
