// Disk images and virtual files do not exist on this host: every file is in host
// storage, which is always present. These entry points keep programs that call them
// linking and running; they ignore their arguments.
#include "fs/stream.h"

LM_EXPORT int lmfs_mount_image(const void *, uint64_t) {
    return 0;
}

LM_EXPORT void lmfs_unmount(void) {}

LM_EXPORT bool lmfs_is_mounted(void) {
    return true;
}

LM_EXPORT int lmfs_register_virtual_file(const char *, const void *, uint64_t) {
    return 0;
}

LM_EXPORT void lmfs_clear_virtual_files(void) {}

LM_EXPORT const void *lmfs_image_data(void) {
    return nullptr;
}

LM_EXPORT uint64_t lmfs_image_size(void) {
    return 0;
}

LM_EXPORT int lmfs_export_image(const char *) {
    return 0;
}
