#include "simhost/files.h"

#include "simhost/host.h"

namespace lbw::simhost {

void FileService::reset() {
    memory_.clear();
    store_ = &memory_;
    recording = false;
    calls.clear();
    fail = nullptr;
}

std::vector<FileService::Call> FileService::calls_of(Op op) const {
    std::vector<Call> result;
    for (const Call &call : calls)
        if (call.op == op)
            result.push_back(call);
    return result;
}

template <class Action>
int FileService::serve(Call call, Action action) {
    int result = 0;
    if (!fail || !fail(call))
        result = action() ? 1 : 0;
    if (recording) {
        call.result = result;
        calls.push_back(std::move(call));
    }
    return result;
}

int FileService::host_stat_file(const char *path, LmBaremetalProgramFileInfo *info) {
    FileService &files = Host::instance().files();
    if (!path || !info)
        return 0;
    return files.serve(Call{Op::stat, path, {}}, [&] { return files.store().stat(path, *info); });
}

int FileService::host_write_file(const char *path, const void *data, uint32_t size) {
    FileService &files = Host::instance().files();
    if (!path || (!data && size != 0))
        return 0;
    std::string bytes;
    if (files.recording || files.fail)
        bytes.assign(static_cast<const char *>(data), size);
    return files.serve(Call{Op::write, path, std::move(bytes)}, [&] { return files.store().write(path, data, size); });
}

int FileService::host_delete_file(const char *path) {
    FileService &files = Host::instance().files();
    if (!path)
        return 0;
    return files.serve(Call{Op::remove, path, {}}, [&] { return files.store().remove(path); });
}

} // namespace lbw::simhost
