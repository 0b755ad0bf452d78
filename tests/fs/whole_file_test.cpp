// Removing, renaming, reading and writing whole files; lm_errno and strerror.
#include "tests/fs/file_test.h"

namespace lbw::test {
namespace {

using WholeFileTest = FileTest;

bool fail_everything(const sim::FileService::Call &) {
    return true;
}

TEST_F(WholeFileTest, RemoveDeletesThroughTheHost) {
    store().put("f", "x");
    EXPECT_EQ(remove("f"), 0);
    EXPECT_FALSE(store().exists("f"));
    EXPECT_EQ(lm_errno(), 0);

    EXPECT_EQ(remove("f"), -1) << "the host refuses to delete what is not there";
    EXPECT_EQ(lm_errno(), 5);
    lm_errno() = 0;
    EXPECT_EQ(remove(nullptr), -1);
    EXPECT_EQ(lm_errno(), 22);

    store().put("g", "y");
    files().fail = fail_everything;
    EXPECT_EQ(remove("g"), -1);
    EXPECT_EQ(lm_errno(), 5);
    EXPECT_TRUE(store().exists("g"));
}

TEST_F(WholeFileTest, RenameCopiesThenDeletes) {
    store().put("old", "content");
    EXPECT_EQ(rename("old", "new"), 0);
    EXPECT_EQ(store().snapshot(), (std::map<std::string, std::string>{{"new", "content"}}));
    ASSERT_EQ(files().calls.size(), 3u);
    EXPECT_EQ(files().calls[0].op, Op::stat);
    EXPECT_EQ(files().calls[1].op, Op::write);
    EXPECT_EQ(files().calls[1].path, "new");
    EXPECT_EQ(files().calls[1].data, "content");
    EXPECT_EQ(files().calls[2].op, Op::remove);
    EXPECT_EQ(files().calls[2].path, "old");

    store().put("other", "replaced");
    EXPECT_EQ(rename("new", "other"), 0);
    EXPECT_EQ(store().snapshot(), (std::map<std::string, std::string>{{"other", "content"}}));
    EXPECT_EQ(lm_errno(), 0);
}

TEST_F(WholeFileTest, RenameFailures) {
    EXPECT_EQ(rename(nullptr, "b"), -1);
    EXPECT_EQ(lm_errno(), 22);
    lm_errno() = 0;
    EXPECT_EQ(rename("a", nullptr), -1);
    EXPECT_EQ(lm_errno(), 22);

    EXPECT_EQ(rename("absent", "b"), -1);
    EXPECT_EQ(lm_errno(), 2);
    EXPECT_EQ(host_calls(Op::write), 0u);

    store().put("a", "A");
    files().fail = [](const sim::FileService::Call &call) { return call.op == Op::write; };
    EXPECT_EQ(rename("a", "b"), -1);
    EXPECT_EQ(lm_errno(), 5);
    EXPECT_EQ(host_calls(Op::remove), 0u) << "nothing is deleted when the copy failed";
    EXPECT_EQ(store().snapshot(), (std::map<std::string, std::string>{{"a", "A"}}));

    lm_errno() = 0;
    files().fail = [](const sim::FileService::Call &call) { return call.op == Op::remove; };
    EXPECT_EQ(rename("a", "b"), -1);
    EXPECT_EQ(lm_errno(), 5);
    EXPECT_EQ(store().snapshot(), (std::map<std::string, std::string>{{"a", "A"}, {"b", "A"}}))
        << "the new file stays written";
}

// Copying a file onto its own name and then deleting the old name would lose it.
TEST_F(WholeFileTest, RenameOntoItselfChangesNothing) {
    store().put("same", "kept");
    EXPECT_EQ(rename("same", "same"), 0);
    EXPECT_EQ(store().contents("same"), "kept");
    EXPECT_EQ(host_calls(Op::write), 0u);
    EXPECT_EQ(host_calls(Op::remove), 0u);
    EXPECT_EQ(lm_errno(), 0);

    EXPECT_EQ(rename("gone", "gone"), -1);
    EXPECT_EQ(lm_errno(), 2);
    EXPECT_FALSE(store().exists("gone"));
}

int stat_at_address_zero(const char *, LmBaremetalProgramFileInfo *info) {
    info->address = 0;
    info->size = 5;
    return 1;
}

// A nonempty file said to lie at address 0 has no readable content: nothing is copied
// from there, to a new name or into a block.
TEST_F(WholeFileTest, NonemptyFileAtAddressZeroIsNeitherRenamedNorRead) {
    host().set_entry(LM_ENTRY_STAT_FILE, &stat_at_address_zero);
    EXPECT_EQ(rename("a", "b"), -1);
    EXPECT_EQ(lm_errno(), 5);
    EXPECT_TRUE(files().calls.empty());

    lm_errno() = 0;
    uint8_t *data = nullptr;
    uint64_t size = 99;
    EXPECT_FALSE(read_entire_file("a", &data, &size));
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 99u);
    EXPECT_TRUE(host().heap().malloc_sizes.empty());
    EXPECT_EQ(lm_errno(), 0);
}

TEST_F(WholeFileTest, RenameLeavesOpenStreamsAlone) {
    store().put("a", "alpha");
    Stream *reader = must_open("a", "r");
    Stream *writer = must_open("a", "r+");
    EXPECT_EQ(rename("a", "b"), 0);
    EXPECT_EQ(read_rest(reader), "alpha");
    write(writer, "A");
    EXPECT_EQ(fclose(writer), 0);
    EXPECT_EQ(store().snapshot(), (std::map<std::string, std::string>{{"a", "Alpha"}, {"b", "alpha"}}))
        << "a writable stream writes back under the name it was opened with";
    fclose(reader);
}

TEST_F(WholeFileTest, ReadEntireFileCopiesIntoANewBlock) {
    store().put("f", std::string("a\0b", 3));
    uint8_t *data = nullptr;
    uint64_t size = 0;
    ASSERT_TRUE(read_entire_file("f", &data, &size));
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(data), 3), std::string("a\0b", 3));
    EXPECT_EQ(host().heap().malloc_sizes, (std::vector<uint64_t>{3})) << "no terminator";
    EXPECT_TRUE(host().heap().owns(data));
    free(data);
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
}

TEST_F(WholeFileTest, ReadEntireFileOfAnEmptyFileGivesAOneByteBlock) {
    store().put("empty", "");
    uint8_t *data = nullptr;
    uint64_t size = 7;
    ASSERT_TRUE(read_entire_file("empty", &data, &size));
    EXPECT_EQ(size, 0u);
    EXPECT_NE(data, nullptr);
    EXPECT_EQ(host().heap().malloc_sizes, (std::vector<uint64_t>{1}));
    free(data);
}

TEST_F(WholeFileTest, ReadEntireFileFailuresLeaveTheOutputsAndLmErrnoAlone) {
    store().put("f", "abc");
    uint8_t sentinel = 0;
    uint8_t *data = &sentinel;
    uint64_t size = 42;
    EXPECT_FALSE(read_entire_file(nullptr, &data, &size));
    EXPECT_FALSE(read_entire_file("f", nullptr, &size));
    EXPECT_FALSE(read_entire_file("f", &data, nullptr));
    EXPECT_FALSE(read_entire_file("absent", &data, &size));
    host().heap().fail = [](uint64_t) { return true; };
    EXPECT_FALSE(read_entire_file("f", &data, &size));
    EXPECT_EQ(data, &sentinel);
    EXPECT_EQ(size, 42u);
    EXPECT_EQ(lm_errno(), 0);
}

TEST_F(WholeFileTest, WriteEntireFile) {
    EXPECT_TRUE(write_entire_file("f", "bytes", 5));
    EXPECT_EQ(store().contents("f"), "bytes");
    EXPECT_TRUE(write_entire_file("f", nullptr, 0));
    EXPECT_EQ(store().contents("f"), "");
    EXPECT_EQ(host_calls(Op::write), 2u);

    EXPECT_FALSE(write_entire_file("f", nullptr, 1));
    EXPECT_FALSE(write_entire_file(nullptr, "x", 1));
    EXPECT_EQ(host_calls(Op::write), 2u) << "refused without asking the host";

    files().fail = fail_everything;
    EXPECT_FALSE(write_entire_file("f", "x", 1));
    EXPECT_EQ(store().contents("f"), "");
    EXPECT_EQ(lm_errno(), 0);
}

// The host's size field is 32 bits: 4 GiB would arrive as an empty write.
TEST_F(WholeFileTest, WriteEntireFileBeyondTheHostSizeFieldIsRefused) {
    const char byte = 'x';
    EXPECT_FALSE(write_entire_file("f", &byte, uint64_t{1} << 32));
    EXPECT_FALSE(write_entire_file("f", &byte, (uint64_t{1} << 32) + 1));
    EXPECT_TRUE(files().calls.empty());
}

TEST_F(WholeFileTest, StrErrorTexts) {
    const std::pair<int, const char *> texts[] = {
        {0, "ok"},       {2, "no such file"},       {5, "i/o error"}, {9, "bad file descriptor"},
        {12, "out of memory"}, {13, "permission denied"}, {17, "file exists"}, {22, "invalid argument"},
        {1, "error"},    {4, "error"},              {-5, "error"},    {23, "error"},
        {INT32_MIN, "error"},
    };
    for (const auto &[code, text] : texts)
        EXPECT_STREQ(strerror(code), text) << code;
    EXPECT_EQ(strerror(2), strerror(2)) << "a constant string";
}

TEST_F(WholeFileTest, LmErrnoIsSetOnlyOnFailureAndNeverCleared) {
    EXPECT_EQ(lm_errno(), 0);
    EXPECT_EQ(fopen("absent", "r"), nullptr);
    EXPECT_EQ(lm_errno(), 2);
    store().put("f", "x");
    Stream *s = must_open("f", "r");
    EXPECT_EQ(getc(s), 'x');
    EXPECT_EQ(rename("f", "g"), 0);
    EXPECT_EQ(lm_errno(), 2) << "successes leave it alone";
    fclose(s);
}

} // namespace
} // namespace lbw::test
