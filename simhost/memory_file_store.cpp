#include "simhost/memory_file_store.h"

#include <cstdint>

namespace lbw::sim {

namespace {

std::string bytes_at(uint32_t address, uint32_t size) {
    return std::string(reinterpret_cast<const char *>(static_cast<uintptr_t>(address)), size);
}

} // namespace

bool MemoryFileStore::stat(const std::string &path, LmBaremetalProgramFileInfo &info) {
    auto found = files_.find(path);
    if (found == files_.end())
        return false;
    info.address = found->second.address;
    info.size = found->second.size;
    return true;
}

// Every write gets fresh bytes: the old ones may still be read by an open stream.
bool MemoryFileStore::write(const std::string &path, const void *data, uint32_t size) {
    if (!data && size != 0)
        return false;
    uint32_t address = keep_file_bytes(data, size);
    if (address == 0)
        return false;
    files_[path] = Stored{address, size};
    return true;
}

bool MemoryFileStore::remove(const std::string &path) {
    return files_.erase(path) != 0;
}

void MemoryFileStore::put(const std::string &path, std::string_view bytes) {
    write(path, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

std::optional<std::string> MemoryFileStore::contents(const std::string &path) const {
    auto found = files_.find(path);
    if (found == files_.end())
        return std::nullopt;
    return bytes_at(found->second.address, found->second.size);
}

std::map<std::string, std::string> MemoryFileStore::snapshot() const {
    std::map<std::string, std::string> result;
    for (const auto &[path, stored] : files_)
        result.emplace(path, bytes_at(stored.address, stored.size));
    return result;
}

} // namespace lbw::sim
