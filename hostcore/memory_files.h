// Files held in memory, where a host keeps its storage when it has no disk of its own:
// the boot host (filled from a boot module) and the substitute host's store for tests.
//
// Paths follow the hosts' path rule (hostcore/path.h), so "/a/b", "a//b" and
// "../a/b" name the same file. A file's bytes are handed out in place by stat, and a
// program may keep reading them there after the file was replaced or deleted: bytes
// stat has shown are never released; bytes nobody was shown go back to the heap.
#pragma once

#include "hostcore/heap.h"

#include <stddef.h>
#include <stdint.h>

namespace lbw::hostcore {

class MemoryFiles {
public:
    static constexpr size_t kMaximumPath = 256; // with the terminator, after the path rule

    struct File {
        char *path; // below the root, without a leading '/'
        const uint8_t *data;
        uint32_t size;
        bool owned;   // data came from the heap
        bool exposed; // stat handed the address out
    };

    // An empty store whose records, paths and copies of file bytes come from `heap`
    // (whose blocks lie below 4 GiB, as the 32-bit addresses of stat require). Whatever
    // the store held before is forgotten, not released.
    void init(Heap *heap);
    // Deletes every file, releasing what remove would.
    void clear();

    // The file at the path, or null. stat marks its bytes as handed out.
    const File *find(const char *path) const;
    const File *stat(const char *path);
    // Creates or replaces the file with a copy of the bytes. False when the path names no
    // file (the root) or is too long, or when memory runs out (the old file stays).
    bool write(const char *path, const void *data, uint32_t size);
    // Creates or replaces the file with bytes that stay where they lie and are never
    // released; false as for write.
    bool place(const char *path, const uint8_t *data, uint32_t size);
    bool remove(const char *path);

    uint32_t count() const { return count_; }
    const File &file(uint32_t index) const { return files_[index]; }

    // Whether `path` names a file (not the root) within kMaximumPath; `normalized` gets
    // its path below the root.
    static bool names_a_file(const char *path, char (&normalized)[kMaximumPath]);

private:
    File *lookup(const char *normalized) const;
    void retire(File &file);
    bool put(const char *path, const uint8_t *data, uint32_t size, bool owned);

    Heap *heap_ = nullptr;
    File *files_ = nullptr;
    uint32_t count_ = 0;
    uint32_t capacity_ = 0;
};

} // namespace lbw::hostcore
