// Opening, reopening and closing streams, mode letters and buffer growth.
#include "tests/fs/file_test.h"

namespace lbw::test {
namespace {

using OpenTest = FileTest;

int stat_at_address_zero(const char *, LmBaremetalProgramFileInfo *info) {
    info->address = 0;
    info->size = 5;
    return 1;
}

int stat_empty_at_address_zero(const char *, LmBaremetalProgramFileInfo *info) {
    *info = {};
    return 1;
}

void at_zero(sim::Host &h) {
    h.set_entry(LM_ENTRY_STAT_FILE, &stat_at_address_zero);
}

void no_heap(sim::Host &h) {
    h.heap().fail = [](uint64_t) { return true; };
}

// Every row of the failure table, each from a fresh host and lm_errno 0; no record may
// be left allocated.
TEST_F(OpenTest, FailedOpensGiveNullWithTheirErrorNumber) {
    struct Case {
        const char *what, *path, *mode;
        void (*arrange)(sim::Host &);
        int error;
    };
    const std::string too_long(241, 'p');
    const Case cases[] = {
        {"null path", nullptr, "r", nullptr, 22},
        {"null mode", "f", nullptr, nullptr, 22},
        {"record allocation", "f", "r+", no_heap, 12},
        {"record allocation, absent file", "absent", "r+", no_heap, 12},
        {"record allocation, standard stream", "__lmfs_stdout", "r", no_heap, 12},
        {"buffer allocation", "f", "r+", [](sim::Host &h) { h.heap().fail = [](uint64_t s) { return s == 256; }; }, 12},
        {"absent, r", "absent", "r", nullptr, 2},
        {"absent, rb", "absent", "rb", nullptr, 2},
        {"absent, b", "absent", "b", nullptr, 2},
        {"absent, empty mode", "absent", "", nullptr, 2},
        {"absent, x", "absent", "x", nullptr, 2},
        {"standard name in capitals", "__LMFS_STDOUT", "r", nullptr, 2},
        {"standard name with a blank", "__lmfs_stdout ", "r", nullptr, 2},
        {"no stat entry", "f", "r", [](sim::Host &h) { h.set_entry(LM_ENTRY_STAT_FILE, nullptr); }, 2},
        {"nonempty at address 0, r", "f", "r", at_zero, 5},
        {"nonempty at address 0, r+", "f", "r+", at_zero, 5},
        {"nonempty at address 0, a", "f", "a", at_zero, 5},
        {"nonempty at address 0, w", "f", "w", at_zero, 5},
        // A writable stream writes back under its stored path, which holds 240 characters.
        {"path too long to write back, w", too_long.c_str(), "w", nullptr, 22},
        {"path too long to write back, a", too_long.c_str(), "a", nullptr, 22},
        {"path too long to write back, r+", too_long.c_str(), "r+", nullptr, 22},
        {"path too long to write back, +", too_long.c_str(), "+", nullptr, 22},
    };
    for (const Case &c : cases) {
        host().reset();
        store().put("f", "hello");
        store().put(too_long, "data");
        if (c.arrange)
            c.arrange(host());
        lm_errno() = 0;
        EXPECT_EQ(fopen(c.path, c.mode), nullptr) << c.what;
        EXPECT_EQ(lm_errno(), c.error) << c.what;
        EXPECT_EQ(host().heap().bytes_in_use(), 0u) << c.what;
        if (c.error == 22)
            EXPECT_TRUE(files().calls.empty() && host().heap().malloc_sizes.empty()) << c.what;
        if (c.error == 12) {
            EXPECT_EQ(host().heap().malloc_sizes, std::vector<uint64_t>{sizeof(Stream)}) << c.what;
            EXPECT_EQ(host().heap().realloc_sizes.size(), c.what[0] == 'b' ? 1u : 0u) << c.what;
        }
    }
}

TEST_F(OpenTest, ExistingFileInEachMode) {
    store().put("f", "hello");
    LmBaremetalProgramFileInfo info{};
    ASSERT_TRUE(store().stat("f", info));

    Stream *s = must_open("f", "r"); // reads the host's bytes in place
    EXPECT_EQ(reinterpret_cast<uintptr_t>(s->data), info.address);
    EXPECT_EQ(s->buffer, nullptr);
    EXPECT_EQ(s->size, 5u);
    EXPECT_EQ(read_rest(s), "hello");
    EXPECT_TRUE(host().heap().realloc_sizes.empty());
    EXPECT_EQ(fclose(s), 0);

    s = must_open("f", "r+"); // copies into a 256-byte buffer
    EXPECT_EQ(s->capacity, 256u);
    EXPECT_EQ(s->data, s->buffer);
    EXPECT_EQ(content(s), "hello");
    EXPECT_EQ(s->position, 0u);
    EXPECT_EQ(fclose(s), 0);

    s = must_open("f", "a"); // at the end, and can read
    EXPECT_EQ(s->position, 5u);
    EXPECT_EQ(getc(s), -1);
    EXPECT_EQ(fseek(s, 1, 0), 0);
    EXPECT_EQ(getc(s), 'e');
    EXPECT_EQ(fclose(s), 0);

    s = must_open("f", "w"); // empty; the stored file stays until something is flushed
    EXPECT_EQ(s->size, 0u);
    EXPECT_EQ(s->buffer, nullptr);
    EXPECT_EQ(fclose(s), 0);
    EXPECT_EQ(store().contents("f"), "hello");
    EXPECT_EQ(host_calls(Op::write), 0u) << "nothing changed, nothing is written back";
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);

    s = must_open("f", "w");
    write(s, "x");
    EXPECT_EQ(store().contents("f"), "hello");
    EXPECT_EQ(fclose(s), 0);
    EXPECT_EQ(store().contents("f"), "x");
}

TEST_F(OpenTest, EmptyOrAbsentFilesOpenEmptyAndCreateNothing) {
    store().put("empty", "");
    for (const char *mode : {"r", "r+", "a", "w"}) {
        Stream *s = must_open("empty", mode);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->size, 0u);
        EXPECT_EQ(s->buffer, nullptr) << "nothing is allocated for an empty file";
        EXPECT_EQ(getc(s), -1);
        fclose(s);
    }
    Stream *s = must_open("new", "w");
    EXPECT_EQ(s->size, 0u);
    EXPECT_EQ(fflush(s), 0);
    EXPECT_EQ(fclose(s), 0);
    EXPECT_FALSE(store().exists("new"));

    host().set_entry(LM_ENTRY_STAT_FILE, &stat_empty_at_address_zero);
    s = must_open("zero", "r");
    EXPECT_EQ(s->size, 0u);
    EXPECT_EQ(getc(s), -1);
    fclose(s);
    host().set_entry(LM_ENTRY_STAT_FILE, nullptr);
    s = must_open("f", "r+");
    EXPECT_EQ(s->size, 0u) << "without host storage a writable stream starts empty";
    fclose(s);
    EXPECT_EQ(host_calls(Op::write), 0u);
    EXPECT_EQ(lm_errno(), 0);
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
    Stream *s = must_open("__lmfs_stdoutx", "w");
    EXPECT_EQ(s->kind, 0u);
    fclose(s);

    auto &out = var<Stream *>("stdout");
    EXPECT_EQ(var<Stream *>("stdin"), nullptr);
    EXPECT_EQ(var<Stream *>("stderr"), nullptr);
    EXPECT_EQ(out, nullptr) << "opening does not assign the global";
    out = must_open("__lmfs_stdout", "w");
    EXPECT_NE(var<Stream *>("stdout"), nullptr);
    fclose(out);
}

TEST_F(OpenTest, LongPathIsLookedUpInFullAndStoredCutForReading) {
    std::string path(300, 'p');
    store().put(path, "data");
    Stream *s = must_open(path.c_str(), "r");
    ASSERT_EQ(files().calls.size(), 1u);
    EXPECT_EQ(files().calls[0].path, path);
    EXPECT_EQ(std::string(s->path), path.substr(0, 240));
    EXPECT_EQ(read_rest(s), "data");
    fclose(s);

    std::string longest(240, 'q');
    s = must_open(longest.c_str(), "w");
    write(s, "kept");
    EXPECT_EQ(fclose(s), 0);
    EXPECT_EQ(store().contents(longest), "kept");
}

// The model test checks closing and reopening over random sequences.
TEST_F(OpenTest, CloseOfNullAndReopenWithoutAStream) {
    EXPECT_EQ(fclose(nullptr), 0);
    store().put("g", "gg");
    Stream *t = freopen("g", "r", nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(read_rest(t), "gg");
    fclose(t);
    EXPECT_EQ(freopen("absent", "r", nullptr), nullptr);
    EXPECT_EQ(lm_errno(), 2);
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
}

TEST_F(OpenTest, BufferCapacityDoublesFrom256) {
    Stream *s = must_open("f", "w");
    write(s, std::string(200, 'a'));
    write(s, std::string(100, 'b'));
    write(s, std::string(1000, 'c'));
    EXPECT_EQ(s->capacity, 2048u);
    EXPECT_EQ(host().heap().realloc_sizes, (std::vector<uint64_t>{256, 512, 2048}));
    fclose(s);
    s = must_open("g", "w");
    write(s, std::string(1000, 'x'));
    EXPECT_EQ(s->capacity, 1024u);
    fclose(s);
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
