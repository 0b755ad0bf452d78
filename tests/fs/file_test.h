// The fixture of the file-layer tests: the library's file functions, typed, over the
// substitute host's in-memory file store. Records are read through the stream layout.
#pragma once

#include "fs/record.h"
#include "simhost/files.h"
#include "tests/support/library_test.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

namespace lbw::test {

using Stream = lmfs_file;
using Op = simhost::FileService::Op;

// Exported name, member name and type of every function the tests call.
#define LBW_FILE_API(X)                                                                                              \
    X(lmfs_fopen, fopen, Stream *(const char *, const char *))                                                       \
    X(lmfs_freopen, freopen, Stream *(const char *, const char *, Stream *))                                         \
    X(lmfs_fclose, fclose, int(Stream *)) X(lmfs_getc, getc, int(Stream *))                                           \
    X(lmfs_fread, fread, uint64_t(void *, uint64_t, uint64_t, Stream *))                                             \
    X(lmfs_fwrite, fwrite, uint64_t(const void *, uint64_t, uint64_t, Stream *))                                     \
    X(lmfs_fseek, fseek, int(Stream *, int64_t, int)) X(lmfs_ftell, ftell, int64_t(Stream *))                         \
    X(lmfs_fflush, fflush, int(Stream *)) X(lmfs_feof, feof, int(Stream *)) X(lmfs_ferror, ferror, int(Stream *))     \
    X(lmfs_clearerr, clearerr, void(Stream *)) X(lmfs_ungetc, ungetc, int(int, Stream *))                             \
    X(lmfs_remove, remove, int(const char *)) X(lmfs_rename, rename, int(const char *, const char *))                 \
    X(lmfs_read_entire_file, read_entire_file, bool(const char *, uint8_t **, uint64_t *))                           \
    X(lmfs_write_entire_file, write_entire_file, bool(const char *, const void *, uint64_t))                         \
    X(strerror, strerror, const char *(int)) X(free, free, void(void *))

// The C library's names for the stream functions (name, type on a stream of type F): the
// library's, and glibc's for comparison.
#define LBW_STDIO_API(X, F)                                                                                          \
    X(fopen, F *(const char *, const char *)) X(freopen, F *(const char *, const char *, F *)) X(fclose, int(F *))  \
    X(fread, size_t(void *, size_t, size_t, F *)) X(fwrite, size_t(const void *, size_t, size_t, F *))              \
    X(fgetc, int(F *)) X(ungetc, int(int, F *)) X(fgets, char *(char *, int, F *)) X(fputc, int(int, F *))         \
    X(fputs, int(const char *, F *)) X(fprintf, int(F *, const char *, ...)) X(fflush, int(F *))                   \
    X(fseek, int(F *, long, int)) X(ftell, long(F *)) X(feof, int(F *)) X(ferror, int(F *)) X(clearerr, void(F *))

template <class F>
struct StdioApi {
#define LBW_MEMBER(name, type) std::add_pointer_t<type> name;
    LBW_STDIO_API(LBW_MEMBER, F)
#undef LBW_MEMBER
};

// The C names alone: GoogleTest's death tests call <cstdio>'s fflush, which FileTest's
// members would hide.
class StdioTest : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
#define LBW_BIND_C(name, type) c.name = fn<type>(#name);
        LBW_STDIO_API(LBW_BIND_C, Stream)
#undef LBW_BIND_C
    }

    simhost::FileService &files() { return host().files(); }
    simhost::MemoryFileStore &store() { return host().files().memory(); }
    int &lm_errno() { return var<int>("lm_errno"); }
    StdioApi<Stream> c{};
};

class FileTest : public StdioTest {
protected:
    void SetUp() override {
        StdioTest::SetUp();
#define LBW_BIND(exported, member, type) member = fn<type>(#exported);
        LBW_FILE_API(LBW_BIND)
#undef LBW_BIND
    }

    Stream *must_open(const char *path, const char *mode) {
        Stream *stream = fopen(path, mode);
        EXPECT_NE(stream, nullptr) << "fopen(\"" << path << "\", \"" << mode << "\")";
        return stream;
    }
    uint64_t write(Stream *stream, const std::string &text) { return fwrite(text.data(), 1, text.size(), stream); }
    // The stream's content as it stands in memory.
    static std::string content(const Stream *stream) {
        return stream->data ? std::string(reinterpret_cast<const char *>(stream->data), stream->size) : "";
    }
    size_t host_calls(Op op) const { return simhost::Host::instance().files().calls_of(op).size(); }

#define LBW_DECLARE(exported, member, type) std::add_pointer_t<type> member = nullptr;
    LBW_FILE_API(LBW_DECLARE)
#undef LBW_DECLARE
};

} // namespace lbw::test
