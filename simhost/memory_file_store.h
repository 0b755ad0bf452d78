// Files kept in the process's memory, for tests, with the boot host's semantics
// (hostcore/memory_files.h): set up, inspected and emptied at will.
#pragma once

#include "hostcore/memory_files.h"
#include "simhost/file_store.h"

#include <map>
#include <optional>
#include <string_view>

namespace lbw::simhost {

class MemoryFileStore : public FileStore {
public:
    MemoryFileStore() { files_.init(&file_memory()); }
    ~MemoryFileStore() override { files_.clear(); }
    MemoryFileStore(const MemoryFileStore &) = delete;
    MemoryFileStore &operator=(const MemoryFileStore &) = delete;

    bool stat(const std::string &path, LmBaremetalProgramFileInfo &info) override;
    bool write(const std::string &path, const void *data, uint32_t size) override;
    bool remove(const std::string &path) override { return files_.remove(path.c_str()); }

    // Stores a file as a write would, without going through the host entries.
    void put(const std::string &path, std::string_view bytes);
    std::optional<std::string> contents(const std::string &path) const;
    bool exists(const std::string &path) const { return files_.find(path.c_str()) != nullptr; }
    // Every file, by its path below the root, and its bytes.
    std::map<std::string, std::string> snapshot() const;
    // Forgets every file (bytes already handed out stay readable).
    void clear() { files_.clear(); }

private:
    hostcore::MemoryFiles files_;
};

} // namespace lbw::simhost
