// The host's file storage: files held in RAM, filled at boot from a cpio archive
// ("newc" format) passed as a boot module, and changed by the program through the
// stat_file, write_file and delete_file entries. Nothing is written back anywhere:
// the files live as long as the machine runs.
//
// Paths are resolved lexically against the archive's root: empty and "." components
// are dropped and ".." folds into its parent (never above the root), so "/a/b",
// "a//b" and "./x/../a/b" name the same file.
#pragma once

#include "hostcore/heap.h"

#include <stddef.h>
#include <stdint.h>

namespace lbw::boot {

class FileStore {
public:
    static constexpr size_t kMaximumPath = 256;

    // Files and the store's own records come from `heap`.
    void init(hostcore::Heap *heap);
    // Adds the regular files of the archive; their bytes stay where the archive lies.
    // Returns null on success or a message (the files read before the fault are kept).
    const char *load_archive(const uint8_t *archive, uint64_t size);

    struct File {
        char *path;
        const uint8_t *data;
        uint32_t size;
        bool owned;   // data came from the heap
        bool exposed; // the address was handed out by stat; see replace()
    };

    // The file at the path, or null. stat marks its bytes as handed out.
    const File *find(const char *path) const;
    const File *stat(const char *path);
    // Creates or replaces the file with a copy of the bytes. False when the path names
    // no file (the root) or is too long, or when memory runs out (the old file stays).
    bool write(const char *path, const void *data, uint32_t size);
    bool remove(const char *path);

    uint32_t count() const { return count_; }
    const File &file(uint32_t index) const { return files_[index]; }

    // Normalises `path` into `out` (kMaximumPath bytes) without a leading '/'. False
    // for a null or over-long path; an empty result names the root.
    static bool normalize(const char *path, char *out);

private:
    File *lookup(const char *normalized) const;
    void retire(File &file);
    bool add(const char *normalized, const uint8_t *data, uint32_t size, bool owned);

    hostcore::Heap *heap_ = nullptr;
    File *files_ = nullptr;
    uint32_t count_ = 0;
    uint32_t capacity_ = 0;
};

} // namespace lbw::boot
