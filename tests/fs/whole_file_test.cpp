// Removing, renaming, reading and writing whole files; lm_errno and strerror.
#include "tests/fs/file_test.h"

namespace lbw::test {
namespace {

using WholeFileTest = FileTest;
using Files = std::map<std::string, std::string>;


// The model test checks the host's refusals, the error numbers and that lm_errno is never
// cleared; these are the cases it does not reach.
TEST_F(WholeFileTest, NullPathsAreInvalidArguments) {
    EXPECT_EQ(remove(nullptr), -1);
    EXPECT_EQ(lm_errno(), 22);
    lm_errno() = 0;
    EXPECT_EQ(rename(nullptr, "b"), -1);
    EXPECT_EQ(lm_errno(), 22);
    lm_errno() = 0;
    EXPECT_EQ(rename("a", nullptr), -1);
    EXPECT_EQ(lm_errno(), 22);
    EXPECT_TRUE(files().calls.empty());
}

TEST_F(WholeFileTest, RenameCopiesThenDeletes) {
    store().put("old", "content");
    EXPECT_EQ(rename("old", "new"), 0);
    ASSERT_EQ(files().calls.size(), 3u);
    EXPECT_EQ(files().calls[0].op, Op::stat);
    EXPECT_EQ(files().calls[1].op, Op::write);
    EXPECT_EQ(files().calls[1].path, "new");
    EXPECT_EQ(files().calls[1].data, "content");
    EXPECT_EQ(files().calls[2].op, Op::remove);
    EXPECT_EQ(files().calls[2].path, "old");
    EXPECT_EQ(store().snapshot(), (Files{{"new", "content"}}));
}

// Copying a file onto its own name and then deleting the old name would lose it.
TEST_F(WholeFileTest, RenameOntoItselfChangesNothing) {
    store().put("same", "kept");
    EXPECT_EQ(rename("same", "same"), 0);
    EXPECT_EQ(store().contents("same"), "kept");
    EXPECT_EQ(host_calls(Op::write) + host_calls(Op::remove), 0u);
    EXPECT_EQ(lm_errno(), 0);
    EXPECT_EQ(rename("gone", "gone"), -1);
    EXPECT_EQ(lm_errno(), 2);
    EXPECT_FALSE(store().exists("gone"));
}

// A nonempty file said to lie at address 0 has no readable content: nothing is copied
// from there, to a new name or into a block.
TEST_F(WholeFileTest, NonemptyFileAtAddressZeroIsNeitherRenamedNorRead) {
    host().set_entry(LM_ENTRY_STAT_FILE, +[](const char *, LmBaremetalProgramFileInfo *info) -> int {
        info->address = 0;
        info->size = 5;
        return 1;
    });
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

TEST_F(WholeFileTest, ReadEntireFileCopiesIntoANewBlock) {
    store().put("f", std::string("a\0b", 3));
    store().put("empty", "");
    uint8_t *data = nullptr;
    uint64_t size = 0;
    ASSERT_TRUE(read_entire_file("f", &data, &size));
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(data), 3), std::string("a\0b", 3));
    EXPECT_TRUE(host().heap().owns(data));
    free(data);
    ASSERT_TRUE(read_entire_file("empty", &data, &size));
    EXPECT_EQ(size, 0u);
    free(data);
    EXPECT_EQ(host().heap().malloc_sizes, (std::vector<uint64_t>{3, 1})) << "no terminator; 1 byte when empty";
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
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

    // Refused without asking the host; the host's size field is 32 bits.
    const char byte = 'x';
    EXPECT_FALSE(write_entire_file("f", nullptr, 1));
    EXPECT_FALSE(write_entire_file(nullptr, "x", 1));
    EXPECT_FALSE(write_entire_file("f", &byte, uint64_t{1} << 32));
    EXPECT_FALSE(write_entire_file("f", &byte, (uint64_t{1} << 32) + 1));
    EXPECT_EQ(host_calls(Op::write), 2u);

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

} // namespace
} // namespace lbw::test
