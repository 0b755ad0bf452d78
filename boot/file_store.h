// The host's file storage: files held in RAM (hostcore/memory_files.h), filled at boot
// from a cpio archive ("newc" format) passed as a boot module, and changed by the
// program through the stat_file, write_file and delete_file entries. Nothing is written
// back anywhere: the files live as long as the machine runs.
#pragma once

#include "hostcore/memory_files.h"

#include <stdint.h>

namespace lbw::boot {

class FileStore : public hostcore::MemoryFiles {
public:
    // Adds the regular files of the archive; their bytes stay where the archive lies.
    // Returns null on success or a message (the files read before the fault are kept).
    const char *load_archive(const uint8_t *archive, uint64_t size);
};

} // namespace lbw::boot
