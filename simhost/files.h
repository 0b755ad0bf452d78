// The host's file entries: stat_file, write_file and delete_file over a file store.
// The in-memory store is installed by default; the simulator installs a folder.
// Calls are recorded for the tests when asked, and any call can be made to fail.
#pragma once

#include "simhost/file_store.h"
#include "simhost/memory_file_store.h"

#include <functional>
#include <vector>

namespace lbw::simhost {

class FileService {
public:
    enum class Op { stat, write, remove };
    struct Call {
        Op op;
        std::string path;
        std::string data; // write: the bytes handed over
        int result = 0;
    };

    // The in-memory store, emptied, as the store; no recordings, no failures.
    void reset();

    MemoryFileStore &memory() { return memory_; }
    // Serves the entries from `store` (not owned); null goes back to the memory store.
    void use(FileStore *store) { store_ = store ? store : &memory_; }
    FileStore &store() { return *store_; }

    // While `recording`: every call, in order.
    bool recording = false;
    std::vector<Call> calls;
    // Calls of one kind, in order.
    std::vector<Call> calls_of(Op op) const;
    // When set and returning true for a call (its result not yet known), the entry
    // answers 0 without reaching the store.
    std::function<bool(const Call &)> fail;

    static int host_stat_file(const char *path, LmBaremetalProgramFileInfo *info);
    static int host_write_file(const char *path, const void *data, uint32_t size);
    static int host_delete_file(const char *path);

private:
    // Runs `action` unless `fail` refuses the call, and records it.
    template <class Action>
    int serve(Call call, Action action);

    MemoryFileStore memory_;
    FileStore *store_ = &memory_;
};

} // namespace lbw::simhost
