// The fixture of the file-layer tests: the library's file functions, typed, over the
// substitute host's in-memory file store. Records are read through the stream layout.
#pragma once

#include "fs/record.h"
#include "simhost/files.h"
#include "tests/support/library_test.h"

#include <cstdint>
#include <string>

namespace lbw::test {

using Stream = lmfs_file;
using Op = sim::FileService::Op;

class FileTest : public LibraryTest {
protected:
    void SetUp() override;

    sim::FileService &files() { return host().files(); }
    sim::MemoryFileStore &store() { return host().files().memory(); }
    int &lm_errno() { return var<int>("lm_errno"); }

    // Opens and expects a stream.
    Stream *must_open(const char *path, const char *mode);
    // Writes the bytes of `text`; returns fwrite's result.
    uint64_t write(Stream *stream, const std::string &text);
    // Reads with getc until -1.
    std::string read_rest(Stream *stream);
    // The stream's content as it stands in memory.
    static std::string content(const Stream *stream);
    // Number of host calls of one kind so far.
    size_t host_calls(Op op) const;

    Stream *(*fopen)(const char *, const char *) = nullptr;
    Stream *(*freopen)(const char *, const char *, Stream *) = nullptr;
    int (*fclose)(Stream *) = nullptr;
    uint64_t (*fread)(void *, uint64_t, uint64_t, Stream *) = nullptr;
    int (*getc)(Stream *) = nullptr;
    uint64_t (*fwrite)(const void *, uint64_t, uint64_t, Stream *) = nullptr;
    int (*fseek)(Stream *, int64_t, int) = nullptr;
    int64_t (*ftell)(Stream *) = nullptr;
    int (*fflush)(Stream *) = nullptr;
    int (*feof)(Stream *) = nullptr;
    int (*ferror)(Stream *) = nullptr;
    void (*clearerr)(Stream *) = nullptr;
    int (*ungetc)(int, Stream *) = nullptr;
    int (*remove)(const char *) = nullptr;
    int (*rename)(const char *, const char *) = nullptr;
    bool (*read_entire_file)(const char *, uint8_t **, uint64_t *) = nullptr;
    bool (*write_entire_file)(const char *, const void *, uint64_t) = nullptr;
    char *(*strerror)(int) = nullptr;
    void (*free)(void *) = nullptr;
};

} // namespace lbw::test
