#include "boot/file_store.h"

#include <string.h>

namespace lbw::boot {

bool FileStore::normalize(const char *path, char *out) {
    if (!path)
        return false;
    size_t length = 0;
    const char *p = path;
    while (*p) {
        while (*p == '/')
            p++;
        const char *start = p;
        while (*p && *p != '/')
            p++;
        size_t piece = static_cast<size_t>(p - start);
        if (piece == 0 || (piece == 1 && start[0] == '.'))
            continue;
        if (piece == 2 && start[0] == '.' && start[1] == '.') {
            while (length > 0 && out[length - 1] != '/')
                length--;
            if (length > 0)
                length--; // the '/' before the dropped component
            continue;
        }
        size_t needed = piece + (length ? 1 : 0);
        if (length + needed >= kMaximumPath)
            return false;
        if (length)
            out[length++] = '/';
        memcpy(out + length, start, piece);
        length += piece;
    }
    out[length] = 0;
    return true;
}

void FileStore::init(hostcore::Heap *heap) {
    heap_ = heap;
    files_ = nullptr;
    count_ = capacity_ = 0;
}

FileStore::File *FileStore::lookup(const char *normalized) const {
    for (uint32_t i = 0; i < count_; i++) {
        if (strcmp(files_[i].path, normalized) == 0)
            return &files_[i];
    }
    return nullptr;
}

const FileStore::File *FileStore::find(const char *path) const {
    char normalized[kMaximumPath];
    if (!normalize(path, normalized) || !normalized[0])
        return nullptr;
    return lookup(normalized);
}

const FileStore::File *FileStore::stat(const char *path) {
    File *file = const_cast<File *>(find(path));
    if (file)
        file->exposed = true;
    return file;
}

// A program may keep reading a file's bytes at the address stat gave it after the
// file was replaced or deleted, so those bytes are never reused. Bytes nobody was
// shown go back to the heap.
void FileStore::retire(File &file) {
    if (file.owned && !file.exposed)
        heap_->release(const_cast<uint8_t *>(file.data));
}

bool FileStore::add(const char *normalized, const uint8_t *data, uint32_t size, bool owned) {
    if (count_ == capacity_) {
        uint32_t capacity = capacity_ ? capacity_ * 2 : 16;
        auto *grown = static_cast<File *>(heap_->reallocate(files_, uint64_t{capacity} * sizeof(File)));
        if (!grown)
            return false;
        files_ = grown;
        capacity_ = capacity;
    }
    size_t length = strlen(normalized);
    auto *path = static_cast<char *>(heap_->allocate(length + 1));
    if (!path)
        return false;
    memcpy(path, normalized, length + 1);
    files_[count_++] = File{path, data, size, owned, false};
    return true;
}

bool FileStore::write(const char *path, const void *data, uint32_t size) {
    char normalized[kMaximumPath];
    if (!normalize(path, normalized) || !normalized[0] || (!data && size))
        return false;
    // The heap's blocks lie below 4 GiB, as the 32-bit address of stat requires.
    auto *copy = static_cast<uint8_t *>(heap_->allocate(size));
    if (!copy)
        return false;
    if (size)
        memcpy(copy, data, size);
    if (File *file = lookup(normalized)) {
        retire(*file);
        *file = File{file->path, copy, size, true, false};
        return true;
    }
    if (!add(normalized, copy, size, true)) {
        heap_->release(copy);
        return false;
    }
    return true;
}

bool FileStore::remove(const char *path) {
    char normalized[kMaximumPath];
    if (!normalize(path, normalized) || !normalized[0])
        return false;
    File *file = lookup(normalized);
    if (!file)
        return false;
    retire(*file);
    heap_->release(file->path);
    *file = files_[--count_];
    return true;
}

namespace {

constexpr size_t kCpioHeaderSize = 110;

bool hex_field(const uint8_t *header, int index, uint32_t &value) {
    value = 0;
    for (int i = 0; i < 8; i++) {
        uint8_t c = header[6 + index * 8 + i];
        uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        value = value << 4 | digit;
    }
    return true;
}

uint64_t align4(uint64_t value) {
    return (value + 3) & ~uint64_t{3};
}

} // namespace

const char *FileStore::load_archive(const uint8_t *archive, uint64_t size) {
    enum { kMode = 1, kFileSize = 6, kNameSize = 11 };
    uint64_t at = 0;
    for (;;) {
        if (at > size || size - at < kCpioHeaderSize)
            return "the file archive ends without its trailer";
        const uint8_t *header = archive + at;
        if (memcmp(header, "070701", 6) != 0 && memcmp(header, "070702", 6) != 0)
            return "the file archive is not a cpio archive in the newc format";
        uint32_t mode, file_size, name_size;
        if (!hex_field(header, kMode, mode) || !hex_field(header, kFileSize, file_size) ||
            !hex_field(header, kNameSize, name_size))
            return "the file archive has a damaged header";
        uint64_t name_at = at + kCpioHeaderSize;
        if (name_size == 0 || name_size > size - name_at)
            return "a name in the file archive runs past its end";
        const char *name = reinterpret_cast<const char *>(archive + name_at);
        if (name[name_size - 1] != 0)
            return "a name in the file archive is not terminated";
        uint64_t data_at = align4(name_at + name_size);
        if (data_at > size || file_size > size - data_at)
            return "a file in the file archive runs past its end";
        if (strcmp(name, "TRAILER!!!") == 0)
            return nullptr;
        constexpr uint32_t kTypeMask = 0170000, kRegular = 0100000;
        if ((mode & kTypeMask) == kRegular) {
            char normalized[kMaximumPath];
            if (!normalize(name, normalized) || !normalized[0])
                return "a name in the file archive is too long or names no file";
            if (File *existing = lookup(normalized)) {
                retire(*existing);
                existing->data = archive + data_at;
                existing->size = file_size;
                existing->owned = false;
            } else if (!add(normalized, archive + data_at, file_size, false)) {
                return "there is no memory for the file archive's index";
            }
        }
        at = align4(data_at + file_size);
    }
}

} // namespace lbw::boot
