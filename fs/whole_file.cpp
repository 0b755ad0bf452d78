// Operations on whole stored files, each built directly on the host's file entries.
#include "fs/stream.h"

#include <stdlib.h>
#include <string.h>

using namespace lm::fs;

namespace {

int fail(int code) {
    lm_errno = code;
    return -1;
}

} // namespace

LM_EXPORT int lmfs_remove(const char *path) {
    if (!path)
        return fail(LM_EINVAL);
    return lm_lua_app_delete_file(path) ? 0 : fail(LM_EIO);
}

// Renaming copies: the new name receives the content straight from the host's memory,
// then the old name is deleted (when that fails the new file stays written).
LM_EXPORT int lmfs_rename(const char *old_path, const char *new_path) {
    if (!old_path || !new_path)
        return fail(LM_EINVAL);
    LmBaremetalProgramFileInfo info;
    switch (look_up(old_path, info)) {
    case Lookup::absent: return fail(LM_ENOENT);
    case Lookup::unusable: return fail(LM_EIO);
    case Lookup::present: break;
    }
    // Onto itself: copying then deleting would lose the file. Nothing to do.
    if (strcmp(old_path, new_path) == 0)
        return 0;
    if (!lm_lua_app_write_file(new_path, host_bytes(info), info.size))
        return fail(LM_EIO);
    if (!lm_lua_app_delete_file(old_path))
        return fail(LM_EIO);
    return 0;
}

LM_EXPORT bool lmfs_read_entire_file(const char *path, uint8_t **out_data, uint64_t *out_size) {
    if (!path || !out_data || !out_size)
        return false;
    LmBaremetalProgramFileInfo info;
    if (look_up(path, info) != Lookup::present)
        return false;
    auto *block = static_cast<uint8_t *>(malloc(info.size ? info.size : 1));
    if (!block)
        return false;
    memcpy(block, host_bytes(info), info.size);
    *out_data = block;
    *out_size = info.size;
    return true;
}

LM_EXPORT bool lmfs_write_entire_file(const char *path, const void *data, uint64_t size) {
    if (!path || (!data && size != 0) || size > kHostSizeLimit)
        return false;
    return lm_lua_app_write_file(path, data, static_cast<uint32_t>(size)) != 0;
}
