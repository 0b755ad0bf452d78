// Opening, reopening and closing streams, mode letters and buffer growth.
#include "tests/fs/file_test.h"

#include <cstring>

namespace lbw::test {
namespace {

using OpenTest = FileTest;

TEST_F(OpenTest, NullPathOrModeIsAnInvalidArgument) {
    EXPECT_EQ(fopen(nullptr, "r"), nullptr);
    EXPECT_EQ(lm_errno(), 22);
    lm_errno() = 0;
    EXPECT_EQ(fopen("f", nullptr), nullptr);
    EXPECT_EQ(lm_errno(), 22);
    EXPECT_TRUE(files().calls.empty());
    EXPECT_TRUE(host().heap().malloc_sizes.empty());
}

TEST_F(OpenTest, FailedRecordAllocationIsOutOfMemory) {
    store().put("f", "abc");
    host().heap().fail = [](uint64_t) { return true; };
    for (const char *path : {"f", "absent", "__lmfs_stdout"}) {
        lm_errno() = 0;
        EXPECT_EQ(fopen(path, "r+"), nullptr) << path;
        EXPECT_EQ(lm_errno(), 12) << path;
    }
    EXPECT_EQ(host().heap().malloc_sizes, (std::vector<uint64_t>(3, sizeof(Stream))));
}

TEST_F(OpenTest, AbsentFileWithoutWriteAccessIsNoSuchFile) {
    for (const char *mode : {"r", "rb", "b", "", "x"}) {
        lm_errno() = 0;
        EXPECT_EQ(fopen("absent", mode), nullptr) << mode;
        EXPECT_EQ(lm_errno(), 2) << mode;
    }
    EXPECT_EQ(host().heap().bytes_in_use(), 0u) << "every record is freed";
}

TEST_F(OpenTest, UnallocatableBufferForAnExistingFileFreesTheRecord) {
    store().put("f", "hello");
    host().heap().fail = [](uint64_t size) { return size == 256; };
    EXPECT_EQ(fopen("f", "r+"), nullptr);
    EXPECT_EQ(lm_errno(), 12);
    EXPECT_EQ(host().heap().realloc_sizes, (std::vector<uint64_t>{256}));
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
    ASSERT_EQ(host().heap().freed.size(), 1u);
}

TEST_F(OpenTest, ModeLettersCountAnywhereInTheMode) {
    struct Case {
        const char *mode;
        bool can_read, can_write, append;
    };
    const Case cases[] = {
        {"r", true, false, false},  {"w", false, true, false},  {"a", true, true, true},
        {"r+", true, true, false},  {"w+", true, true, false},  {"a+", true, true, true},
        {"rb", true, false, false}, {"wb", false, true, false}, {"br+", true, true, false},
        {"+", true, true, false},   {"xrt", true, false, false}, {"b", false, false, false},
        {"", false, false, false},
    };
    store().put("f", "12345");
    for (const Case &c : cases) {
        Stream *s = must_open("f", c.mode);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->kind, 0u) << c.mode;
        EXPECT_EQ(s->can_read, c.can_read) << c.mode;
        EXPECT_EQ(s->can_write, c.can_write) << c.mode;
        EXPECT_EQ(s->append, c.append) << c.mode;
        EXPECT_EQ(s->unget_char, -1) << c.mode;
        EXPECT_STREQ(s->path, "f");
        EXPECT_FALSE(s->dirty || s->eof || s->error);
        fclose(s);
    }
}

TEST_F(OpenTest, ReadOnlyStreamReadsTheHostBytesInPlace) {
    store().put("f", "hello");
    Stream *s = must_open("f", "r");
    LmBaremetalProgramFileInfo info{};
    ASSERT_TRUE(store().stat("f", info));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(s->data), info.address);
    EXPECT_EQ(s->buffer, nullptr);
    EXPECT_EQ(s->size, 5u);
    EXPECT_EQ(s->position, 0u);
    EXPECT_EQ(read_rest(s), "hello");
    EXPECT_TRUE(host().heap().realloc_sizes.empty());
    EXPECT_EQ(fclose(s), 0);
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
    EXPECT_EQ(host_calls(Op::write), 0u);
}

TEST_F(OpenTest, WritableStreamCopiesTheFileIntoItsBuffer) {
    store().put("f", "hello");
    Stream *s = must_open("f", "r+");
    EXPECT_EQ(s->capacity, 256u);
    EXPECT_EQ(s->data, s->buffer);
    EXPECT_EQ(content(s), "hello");
    EXPECT_EQ(s->position, 0u);
    EXPECT_FALSE(s->dirty);
    EXPECT_EQ(fclose(s), 0);
    EXPECT_EQ(host_calls(Op::write), 0u) << "nothing changed, nothing is written back";
}

TEST_F(OpenTest, WriteModeStartsEmptyAndReplacesTheFileOnlyWhenSomethingIsFlushed) {
    store().put("f", "hello");
    Stream *s = must_open("f", "w");
    EXPECT_EQ(s->size, 0u);
    EXPECT_EQ(s->buffer, nullptr);
    EXPECT_EQ(fclose(s), 0);
    EXPECT_EQ(store().contents("f"), "hello");

    s = must_open("f", "w");
    write(s, "x");
    EXPECT_EQ(store().contents("f"), "hello");
    EXPECT_EQ(fclose(s), 0);
    EXPECT_EQ(store().contents("f"), "x");
}

TEST_F(OpenTest, WriteModeOnAnAbsentFileCreatesNothingUntilAFlushWithContent) {
    Stream *s = must_open("new", "w");
    EXPECT_EQ(s->size, 0u);
    EXPECT_EQ(fflush(s), 0);
    EXPECT_EQ(fclose(s), 0);
    EXPECT_FALSE(store().exists("new"));
    EXPECT_EQ(host_calls(Op::write), 0u);
    EXPECT_EQ(lm_errno(), 0);
}

TEST_F(OpenTest, AppendModeStartsAtTheEndAndCanRead) {
    store().put("f", "hello");
    Stream *s = must_open("f", "a");
    EXPECT_EQ(s->position, 5u);
    EXPECT_EQ(getc(s), -1);
    EXPECT_EQ(fseek(s, 1, 0), 0);
    EXPECT_EQ(getc(s), 'e');
    fclose(s);
}

TEST_F(OpenTest, EmptyExistingFileOpensEmptyInEveryMode) {
    store().put("empty", "");
    for (const char *mode : {"r", "r+", "a", "w"}) {
        Stream *s = must_open("empty", mode);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->size, 0u);
        EXPECT_EQ(s->buffer, nullptr) << "nothing is allocated for an empty file";
        EXPECT_EQ(getc(s), -1);
        fclose(s);
    }
}

TEST_F(OpenTest, StandardNamesOpenConsoleStreamsWhateverTheMode) {
    struct Case {
        const char *name;
        uint32_t kind;
        bool can_read, can_write;
    };
    for (const Case &c : {Case{"__lmfs_stdin", 1, true, false}, Case{"__lmfs_stdout", 2, false, true},
                          Case{"__lmfs_stderr", 3, false, true}}) {
        for (const char *mode : {"r", "w", "a+", ""}) {
            Stream *s = must_open(c.name, mode);
            ASSERT_NE(s, nullptr);
            EXPECT_EQ(s->kind, c.kind) << c.name << " " << mode;
            EXPECT_EQ(s->can_read, c.can_read);
            EXPECT_EQ(s->can_write, c.can_write);
            EXPECT_FALSE(s->append);
            EXPECT_EQ(s->unget_char, -1);
            EXPECT_STREQ(s->path, c.name);
            EXPECT_EQ(fclose(s), 0);
        }
    }
    EXPECT_TRUE(files().calls.empty()) << "standard streams never reach host storage";
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
}

TEST_F(OpenTest, StandardNamesMatchExactly) {
    EXPECT_EQ(fopen("__LMFS_STDOUT", "r"), nullptr);
    EXPECT_EQ(lm_errno(), 2);
    EXPECT_EQ(fopen("__lmfs_stdout ", "r"), nullptr);
    Stream *s = must_open("__lmfs_stdoutx", "w");
    EXPECT_EQ(s->kind, 0u);
    fclose(s);
}

TEST_F(OpenTest, StandardStreamGlobalsStayNullUntilTheProgramStoresThem) {
    auto &in = var<Stream *>("stdin");
    auto &out = var<Stream *>("stdout");
    auto &err = var<Stream *>("stderr");
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(err, nullptr);
    Stream *s = must_open("__lmfs_stdout", "w");
    EXPECT_EQ(out, nullptr) << "opening does not assign the global";
    out = s;
    EXPECT_EQ(var<Stream *>("stdout"), s);
    fclose(s);
}

TEST_F(OpenTest, LongPathIsLookedUpInFullAndStoredCutForReading) {
    std::string path(300, 'p');
    store().put(path, "data");
    Stream *s = must_open(path.c_str(), "r");
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(files().calls.size(), 1u);
    EXPECT_EQ(files().calls[0].path, path);
    EXPECT_EQ(std::string(s->path), path.substr(0, 240));
    EXPECT_EQ(read_rest(s), "data");
    fclose(s);
}

// A writable stream writes back under its stored path; a cut path would be another file.
TEST_F(OpenTest, PathTooLongToWriteBackIsRefusedForWritableModes) {
    std::string path(241, 'p');
    store().put(path, "data");
    for (const char *mode : {"w", "a", "r+", "+"}) {
        lm_errno() = 0;
        EXPECT_EQ(fopen(path.c_str(), mode), nullptr) << mode;
        EXPECT_EQ(lm_errno(), 22) << mode;
    }
    EXPECT_TRUE(files().calls.empty());
    EXPECT_TRUE(host().heap().malloc_sizes.empty());

    std::string longest(240, 'q');
    Stream *s = must_open(longest.c_str(), "w");
    write(s, "kept");
    EXPECT_EQ(fclose(s), 0);
    EXPECT_EQ(store().contents(longest), "kept");
}

int stat_at_address_zero(const char *, LmBaremetalProgramFileInfo *info) {
    info->address = 0;
    info->size = 5;
    return 1;
}

int stat_empty_at_address_zero(const char *, LmBaremetalProgramFileInfo *info) {
    info->address = 0;
    info->size = 0;
    return 1;
}

TEST_F(OpenTest, NonemptyFileAtAddressZeroIsAnInputOutputFailure) {
    host().set_entry(LM_ENTRY_STAT_FILE, &stat_at_address_zero);
    for (const char *mode : {"r", "r+", "a", "w"}) {
        lm_errno() = 0;
        EXPECT_EQ(fopen("f", mode), nullptr) << mode;
        EXPECT_EQ(lm_errno(), 5) << mode;
    }
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);

    host().set_entry(LM_ENTRY_STAT_FILE, &stat_empty_at_address_zero);
    Stream *s = must_open("f", "r");
    EXPECT_EQ(s->size, 0u);
    EXPECT_EQ(getc(s), -1);
    fclose(s);
}

TEST_F(OpenTest, WithoutHostStorageNoFileExists) {
    store().put("f", "abc");
    host().set_entry(LM_ENTRY_STAT_FILE, nullptr);
    EXPECT_EQ(fopen("f", "r"), nullptr);
    EXPECT_EQ(lm_errno(), 2);
    Stream *s = must_open("f", "r+");
    EXPECT_EQ(s->size, 0u) << "a writable stream starts empty";
    fclose(s);
}

TEST_F(OpenTest, CloseReturnsTheFlushResultAndFreesAllTheSame) {
    EXPECT_EQ(fclose(nullptr), 0);
    Stream *s = must_open("f", "w");
    write(s, "abc");
    files().fail = [](const sim::FileService::Call &) { return true; };
    EXPECT_EQ(fclose(s), -1);
    EXPECT_EQ(lm_errno(), 5);
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
    EXPECT_EQ(host_calls(Op::write), 1u);
}

TEST_F(OpenTest, ReopenClosesTheOldStreamAndOpensANewOne) {
    store().put("g", "gg");
    Stream *s = must_open("f", "w");
    write(s, "abc");
    Stream *t = freopen("g", "r", s);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(store().contents("f"), "abc") << "the old stream was flushed";
    EXPECT_EQ(read_rest(t), "gg");
    fclose(t);
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);

    Stream *u = freopen("g", "r", nullptr);
    ASSERT_NE(u, nullptr);
    fclose(u);
    EXPECT_EQ(freopen("absent", "r", nullptr), nullptr);
    EXPECT_EQ(lm_errno(), 2);
}

TEST_F(OpenTest, BufferCapacityDoublesFrom256) {
    Stream *s = must_open("f", "w");
    EXPECT_EQ(write(s, std::string(200, 'a')), 200u);
    EXPECT_EQ(s->capacity, 256u);
    EXPECT_EQ(write(s, std::string(100, 'b')), 100u);
    EXPECT_EQ(s->capacity, 512u);
    EXPECT_EQ(write(s, std::string(212, 'c')), 212u);
    EXPECT_EQ(s->capacity, 512u) << "512 bytes fit exactly";
    EXPECT_EQ(host().heap().realloc_sizes, (std::vector<uint64_t>{256, 512}));
    fclose(s);

    Stream *t = must_open("g", "w");
    write(t, std::string(1000, 'x'));
    EXPECT_EQ(t->capacity, 1024u);
    EXPECT_EQ(host().heap().realloc_sizes.back(), 1024u);
    fclose(t);
}

TEST_F(OpenTest, FailedGrowthKeepsTheOldBuffer) {
    Stream *s = must_open("f", "w");
    write(s, std::string(200, 'a'));
    uint8_t *old_buffer = s->buffer;
    host().heap().fail = [](uint64_t) { return true; };
    EXPECT_EQ(write(s, std::string(100, 'b')), 0u);
    EXPECT_EQ(lm_errno(), 12);
    EXPECT_EQ(ferror(s), 1);
    EXPECT_EQ(s->buffer, old_buffer);
    EXPECT_EQ(s->capacity, 256u);
    EXPECT_EQ(s->size, 200u);
    EXPECT_EQ(content(s), std::string(200, 'a'));
    host().heap().fail = nullptr;
    EXPECT_EQ(fclose(s), 0);
    EXPECT_EQ(store().contents("f"), std::string(200, 'a'));
}

TEST_F(OpenTest, GrowthWhoseDoublingWouldOverflowFailsWithoutAskingTheHeap) {
    Stream *s = must_open("f", "w");
    ASSERT_EQ(fseek(s, INT64_MAX, 0), 0);
    EXPECT_EQ(write(s, "ab"), 0u) << "2^63 + 1 bytes: 256 doubled cannot reach it";
    EXPECT_EQ(lm_errno(), 12);
    EXPECT_EQ(ferror(s), 1);
    EXPECT_TRUE(host().heap().realloc_sizes.empty());
    EXPECT_EQ(s->size, 0u);
    fclose(s);
}

TEST_F(OpenTest, MountingImagesAndVirtualFilesDoNothing) {
    int dummy = 0;
    EXPECT_EQ(fn<int(const void *, uint64_t)>("lmfs_mount_image")(&dummy, 4), 0);
    fn<void()>("lmfs_unmount")();
    EXPECT_TRUE(fn<bool()>("lmfs_is_mounted")());
    EXPECT_EQ(fn<int(const char *, const void *, uint64_t)>("lmfs_register_virtual_file")("v", &dummy, 4), 0);
    fn<void()>("lmfs_clear_virtual_files")();
    EXPECT_EQ(fn<const void *()>("lmfs_image_data")(), nullptr);
    EXPECT_EQ(fn<uint64_t()>("lmfs_image_size")(), 0u);
    EXPECT_EQ(fn<int(const char *)>("lmfs_export_image")("out.img"), 0);
    EXPECT_EQ(fopen("v", "r"), nullptr) << "a registered virtual file does not exist";
    EXPECT_TRUE(files().calls_of(Op::write).empty());
    EXPECT_EQ(lm_errno(), 2);
}

} // namespace
} // namespace lbw::test
