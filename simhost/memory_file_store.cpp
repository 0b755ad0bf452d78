#include "simhost/memory_file_store.h"

namespace lbw::simhost {

namespace {

std::string bytes_of(const hostcore::MemoryFiles::File &file) {
    return std::string(reinterpret_cast<const char *>(file.data), file.size);
}

} // namespace

bool MemoryFileStore::stat(const std::string &path, LmBaremetalProgramFileInfo &info) {
    const hostcore::MemoryFiles::File *file = files_.stat(path.c_str());
    if (!file)
        return false;
    info.address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(file->data));
    info.size = file->size;
    return true;
}

bool MemoryFileStore::write(const std::string &path, const void *data, uint32_t size) {
    return files_.write(path.c_str(), data, size);
}

void MemoryFileStore::put(const std::string &path, std::string_view bytes) {
    write(path, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

std::optional<std::string> MemoryFileStore::contents(const std::string &path) const {
    const hostcore::MemoryFiles::File *file = files_.find(path.c_str());
    if (!file)
        return std::nullopt;
    return bytes_of(*file);
}

std::map<std::string, std::string> MemoryFileStore::snapshot() const {
    std::map<std::string, std::string> result;
    for (uint32_t i = 0; i < files_.count(); i++)
        result.emplace(files_.file(i).path, bytes_of(files_.file(i)));
    return result;
}

} // namespace lbw::simhost
