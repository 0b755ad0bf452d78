// The host's file storage as the file entries (stat_file, write_file, delete_file) see
// it. A store hands out file bytes at addresses below 4 GiB that stay valid and in place
// until the process ends: a read-only stream of the library reads them in place for as
// long as it is open, and the host cannot know when it is closed.
#pragma once

#include "hostcore/heap.h"
#include "libc/include/lorrinboot/host.h"

#include <cstdint>
#include <string>

namespace lbw::simhost {

class FileStore {
public:
    virtual ~FileStore() = default;
    // Fills the address and size of the file's bytes; false when the file is absent.
    virtual bool stat(const std::string &path, LmBaremetalProgramFileInfo &info) = 0;
    // Creates or replaces the file with exactly these bytes; false when it cannot.
    virtual bool write(const std::string &path, const void *data, uint32_t size) = 0;
    // Deletes the file; false when there is none or it cannot be deleted.
    virtual bool remove(const std::string &path) = 0;
};

// The memory below 4 GiB that file bytes handed to the library come from, apart from
// the program's heap.
hostcore::Heap &file_memory();

// Copies `size` bytes to file memory that is never released, and returns its 32-bit
// address; 0 when that memory is exhausted.
uint32_t keep_file_bytes(const void *data, uint32_t size);

} // namespace lbw::simhost
