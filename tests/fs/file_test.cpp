#include "tests/fs/file_test.h"

namespace lbw::test {

void FileTest::SetUp() {
    LibraryTest::SetUp();
    fopen = fn<Stream *(const char *, const char *)>("lmfs_fopen");
    freopen = fn<Stream *(const char *, const char *, Stream *)>("lmfs_freopen");
    fclose = fn<int(Stream *)>("lmfs_fclose");
    fread = fn<uint64_t(void *, uint64_t, uint64_t, Stream *)>("lmfs_fread");
    getc = fn<int(Stream *)>("lmfs_getc");
    fwrite = fn<uint64_t(const void *, uint64_t, uint64_t, Stream *)>("lmfs_fwrite");
    fseek = fn<int(Stream *, int64_t, int)>("lmfs_fseek");
    ftell = fn<int64_t(Stream *)>("lmfs_ftell");
    fflush = fn<int(Stream *)>("lmfs_fflush");
    feof = fn<int(Stream *)>("lmfs_feof");
    ferror = fn<int(Stream *)>("lmfs_ferror");
    clearerr = fn<void(Stream *)>("lmfs_clearerr");
    ungetc = fn<int(int, Stream *)>("lmfs_ungetc");
    remove = fn<int(const char *)>("lmfs_remove");
    rename = fn<int(const char *, const char *)>("lmfs_rename");
    read_entire_file = fn<bool(const char *, uint8_t **, uint64_t *)>("lmfs_read_entire_file");
    write_entire_file = fn<bool(const char *, const void *, uint64_t)>("lmfs_write_entire_file");
    strerror = fn<char *(int)>("strerror");
    free = fn<void(void *)>("free");
}

Stream *FileTest::must_open(const char *path, const char *mode) {
    Stream *stream = fopen(path, mode);
    EXPECT_NE(stream, nullptr) << "fopen(\"" << path << "\", \"" << mode << "\")";
    return stream;
}

uint64_t FileTest::write(Stream *stream, const std::string &text) {
    return fwrite(text.data(), 1, text.size(), stream);
}

std::string FileTest::read_rest(Stream *stream) {
    std::string text;
    for (int c; (c = getc(stream)) != -1;)
        text.push_back(static_cast<char>(c));
    return text;
}

std::string FileTest::content(const Stream *stream) {
    if (!stream->data)
        return {};
    return std::string(reinterpret_cast<const char *>(stream->data), stream->size);
}

size_t FileTest::host_calls(Op op) const {
    return sim::Host::instance().files().calls_of(op).size();
}

} // namespace lbw::test
