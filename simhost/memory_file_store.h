// Files kept in the process's memory, for tests: set up, inspected and emptied at will.
#pragma once

#include "simhost/file_store.h"

#include <map>
#include <optional>
#include <string_view>

namespace lbw::sim {

class MemoryFileStore : public FileStore {
public:
    bool stat(const std::string &path, LmBaremetalProgramFileInfo &info) override;
    bool write(const std::string &path, const void *data, uint32_t size) override;
    bool remove(const std::string &path) override;

    // Stores a file as a write would, without going through the host entries.
    void put(const std::string &path, std::string_view bytes);
    std::optional<std::string> contents(const std::string &path) const;
    bool exists(const std::string &path) const { return files_.count(path) != 0; }
    // Every file and its bytes.
    std::map<std::string, std::string> snapshot() const;
    // Forgets every file (bytes already handed out stay readable).
    void clear() { files_.clear(); }

private:
    struct Stored {
        uint32_t address;
        uint32_t size;
    };
    std::map<std::string, Stored> files_;
};

} // namespace lbw::sim
