#include "simhost/directory_file_store.h"

#include "simhost/root_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace lbw::simhost {

namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            close(fd_);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return fd_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

bool write_all(int fd, const unsigned char *data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The whole content of a regular file, at most 4 GiB - 1 bytes; false otherwise.
bool read_all(int fd, std::string &out) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > 0xFFFFFFFFull)
        return false;
    out.clear();
    out.reserve(static_cast<size_t>(st.st_size));
    char chunk[65536];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out.append(chunk, static_cast<size_t>(n));
        if (out.size() > 0xFFFFFFFFull)
            return false;
    }
}

std::string joined(const std::vector<std::string> &parts) {
    std::string path;
    for (const auto &part : parts)
        path += (path.empty() ? "" : "/") + part;
    return path;
}

} // namespace

DirectoryFileStore::DirectoryFileStore(const std::string &root) {
    root_ = open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (root_ < 0)
        throw std::runtime_error("cannot open the file folder " + root + ": " + std::strerror(errno));
}

DirectoryFileStore::~DirectoryFileStore() {
    if (root_ >= 0)
        close(root_);
}

bool DirectoryFileStore::stat(const std::string &path, LmBaremetalProgramFileInfo &info) {
    std::vector<std::string> parts = components_below_root(path);
    if (parts.empty())
        return false;
    Fd parent(open_parent_below(root_, parts));
    if (parent.get() < 0)
        return false;
    // O_NONBLOCK: opening a FIFO must not wait for a writer (it is refused below).
    Fd file(openat(parent.get(), parts.back().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    std::string bytes;
    if (file.get() < 0 || !read_all(file.get(), bytes))
        return false;

    std::string key = joined(parts);
    uint32_t size = static_cast<uint32_t>(bytes.size());
    auto found = handed_out_.find(key);
    if (found == handed_out_.end() || found->second.size != size ||
        std::memcmp(reinterpret_cast<const void *>(static_cast<uintptr_t>(found->second.address)), bytes.data(),
                    size) != 0) {
        uint32_t address = keep_file_bytes(bytes.data(), size);
        if (address == 0)
            return false;
        found = handed_out_.insert_or_assign(key, HandedOut{address, size}).first;
    }
    info.address = found->second.address;
    info.size = size;
    return true;
}

bool DirectoryFileStore::write(const std::string &path, const void *data, uint32_t size) {
    std::vector<std::string> parts = components_below_root(path);
    if (parts.empty() || (!data && size != 0))
        return false;
    Fd parent(open_parent_below(root_, parts));
    if (parent.get() < 0)
        return false;
    std::string temp = ".lbw-write-" + std::to_string(getpid()) + "-" + std::to_string(temp_counter_++);
    Fd file(openat(parent.get(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (file.get() < 0)
        return false;
    bool written = write_all(file.get(), static_cast<const unsigned char *>(data), size);
    written = close(file.release()) == 0 && written;
    // rename replaces the name atomically: readers see the old file or the new one,
    // never a part; a link at the name is replaced, its target left alone.
    if (written && renameat(parent.get(), temp.c_str(), parent.get(), parts.back().c_str()) == 0)
        return true;
    unlinkat(parent.get(), temp.c_str(), 0);
    return false;
}

bool DirectoryFileStore::remove(const std::string &path) {
    std::vector<std::string> parts = components_below_root(path);
    if (parts.empty())
        return false;
    Fd parent(open_parent_below(root_, parts));
    if (parent.get() < 0)
        return false;
    struct stat st;
    if (fstatat(parent.get(), parts.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
        return false;
    return unlinkat(parent.get(), parts.back().c_str(), 0) == 0;
}

} // namespace lbw::simhost
