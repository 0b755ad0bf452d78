#include "hostcore/memory_files.h"

#include "hostcore/path.h"

#include <string.h>

namespace lbw::hostcore {

bool MemoryFiles::names_a_file(const char *path, char (&normalized)[kMaximumPath]) {
    return path_below_root(path, normalized, kMaximumPath) && normalized[0] != 0;
}

void MemoryFiles::init(Heap *heap) {
    heap_ = heap;
    files_ = nullptr;
    count_ = capacity_ = 0;
}

void MemoryFiles::clear() {
    for (uint32_t i = 0; i < count_; i++) {
        retire(files_[i]);
        heap_->release(files_[i].path);
    }
    heap_->release(files_);
    init(heap_);
}

MemoryFiles::File *MemoryFiles::lookup(const char *normalized) const {
    for (uint32_t i = 0; i < count_; i++) {
        if (strcmp(files_[i].path, normalized) == 0)
            return &files_[i];
    }
    return nullptr;
}

const MemoryFiles::File *MemoryFiles::find(const char *path) const {
    char normalized[kMaximumPath];
    return names_a_file(path, normalized) ? lookup(normalized) : nullptr;
}

const MemoryFiles::File *MemoryFiles::stat(const char *path) {
    File *file = const_cast<File *>(find(path));
    if (file)
        file->exposed = true;
    return file;
}

void MemoryFiles::retire(File &file) {
    if (file.owned && !file.exposed)
        heap_->release(const_cast<uint8_t *>(file.data));
}

// The file at `path` now holds `data`; false, with nothing changed, when the path names
// no file or the records cannot grow.
bool MemoryFiles::put(const char *path, const uint8_t *data, uint32_t size, bool owned) {
    char normalized[kMaximumPath];
    if (!names_a_file(path, normalized))
        return false;
    if (File *file = lookup(normalized)) {
        retire(*file);
        *file = File{file->path, data, size, owned, false};
        return true;
    }
    if (count_ == capacity_) {
        uint32_t capacity = capacity_ ? capacity_ * 2 : 16;
        auto *grown = static_cast<File *>(heap_->reallocate(files_, uint64_t{capacity} * sizeof(File)));
        if (!grown)
            return false;
        files_ = grown;
        capacity_ = capacity;
    }
    size_t length = strlen(normalized);
    auto *copy = static_cast<char *>(heap_->allocate(length + 1));
    if (!copy)
        return false;
    memcpy(copy, normalized, length + 1);
    files_[count_++] = File{copy, data, size, owned, false};
    return true;
}

bool MemoryFiles::write(const char *path, const void *data, uint32_t size) {
    if (!data && size)
        return false;
    auto *copy = static_cast<uint8_t *>(heap_->allocate(size));
    if (!copy)
        return false;
    if (size)
        memcpy(copy, data, size);
    if (put(path, copy, size, true))
        return true;
    heap_->release(copy);
    return false;
}

bool MemoryFiles::place(const char *path, const uint8_t *data, uint32_t size) {
    return put(path, data, size, false);
}

bool MemoryFiles::remove(const char *path) {
    File *file = const_cast<File *>(find(path));
    if (!file)
        return false;
    retire(*file);
    heap_->release(file->path);
    *file = files_[--count_];
    return true;
}

} // namespace lbw::hostcore
