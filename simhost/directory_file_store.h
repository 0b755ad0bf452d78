// Files kept in a folder of the Linux machine (the simulator's storage). Every path is
// resolved inside the root folder by the hosts' path rule (hostcore/path.h), and symbolic
// links are never followed, so nothing outside the root can be read, replaced or
// deleted. Writes are atomic: the bytes go to a temporary file in the same folder, which
// then replaces the file by rename.
#pragma once

#include "simhost/file_store.h"

#include <map>

namespace lbw::simhost {

class DirectoryFileStore : public FileStore {
public:
    // Throws std::runtime_error when `root` is not a folder that can be opened.
    explicit DirectoryFileStore(const std::string &root);
    ~DirectoryFileStore() override;
    DirectoryFileStore(const DirectoryFileStore &) = delete;
    DirectoryFileStore &operator=(const DirectoryFileStore &) = delete;

    bool stat(const std::string &path, LmBaremetalProgramFileInfo &info) override;
    bool write(const std::string &path, const void *data, uint32_t size) override;
    bool remove(const std::string &path) override;

private:
    struct HandedOut {
        uint32_t address;
        uint32_t size;
    };
    int root_ = -1;
    // The bytes last handed out per path: an unchanged file keeps its address, so
    // repeated opens do not use up file memory.
    std::map<std::string, HandedOut> handed_out_;
    uint64_t temp_counter_ = 0;
};

} // namespace lbw::simhost
