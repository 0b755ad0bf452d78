// The substitute host's in-memory file store and the recording of the file entries.
#include "simhost/files.h"
#include "simhost/host.h"

#include <gtest/gtest.h>

namespace lbw::sim {
namespace {

class MemoryStoreTest : public ::testing::Test {
protected:
    void SetUp() override { Host::instance().reset(); }
    FileService &files() { return Host::instance().files(); }
};

std::string bytes_at(const LmBaremetalProgramFileInfo &info) {
    return std::string(reinterpret_cast<const char *>(static_cast<uintptr_t>(info.address)), info.size);
}

TEST_F(MemoryStoreTest, BytesHandedOutStayInPlaceWhateverHappensLater) {
    MemoryFileStore &store = files().memory();
    store.put("f", "first");
    LmBaremetalProgramFileInfo first{};
    ASSERT_TRUE(store.stat("f", first));
    EXPECT_NE(first.address, 0u);
    EXPECT_EQ(bytes_at(first), "first");

    ASSERT_TRUE(store.write("f", "second!", 7));
    LmBaremetalProgramFileInfo second{};
    ASSERT_TRUE(store.stat("f", second));
    EXPECT_NE(second.address, first.address);
    EXPECT_EQ(bytes_at(second), "second!");
    ASSERT_TRUE(store.remove("f"));
    store.clear();
    Host::instance().reset();
    EXPECT_EQ(bytes_at(first), "first");
    EXPECT_EQ(bytes_at(second), "second!");
}

TEST_F(MemoryStoreTest, EmptyFilesHaveAnAddressToo) {
    MemoryFileStore &store = files().memory();
    ASSERT_TRUE(store.write("e", nullptr, 0));
    LmBaremetalProgramFileInfo info{};
    ASSERT_TRUE(store.stat("e", info));
    EXPECT_NE(info.address, 0u);
    EXPECT_EQ(info.size, 0u);
    EXPECT_FALSE(store.write("bad", nullptr, 3));
    EXPECT_FALSE(store.exists("bad"));
}

TEST_F(MemoryStoreTest, EntriesRecordEveryCallAndCanBeMadeToFail) {
    LmBaremetalProgramFileInfo info{};
    EXPECT_EQ(FileService::host_write_file("a", "xyz", 3), 1);
    EXPECT_EQ(FileService::host_stat_file("a", &info), 1);
    EXPECT_EQ(info.size, 3u);
    EXPECT_EQ(FileService::host_stat_file("b", &info), 0);
    files().fail = [](const FileService::Call &call) { return call.op == FileService::Op::remove; };
    EXPECT_EQ(FileService::host_delete_file("a"), 0);
    EXPECT_TRUE(files().memory().exists("a"));
    files().fail = nullptr;
    EXPECT_EQ(FileService::host_delete_file("a"), 1);

    const auto &calls = files().calls;
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].op, FileService::Op::write);
    EXPECT_EQ(calls[0].data, "xyz");
    EXPECT_EQ(calls[0].result, 1);
    EXPECT_EQ(calls[2].path, "b");
    EXPECT_EQ(calls[2].result, 0);
    EXPECT_EQ(calls[3].result, 0);
    EXPECT_EQ(calls[4].result, 1);
    EXPECT_EQ(files().calls_of(FileService::Op::stat).size(), 2u);
}

TEST_F(MemoryStoreTest, ResetInstallsAnEmptyMemoryStore) {
    files().memory().put("f", "x");
    files().fail = [](const FileService::Call &) { return true; };
    Host::instance().reset();
    EXPECT_FALSE(files().memory().exists("f"));
    EXPECT_FALSE(files().fail);
    EXPECT_TRUE(files().calls.empty());
    EXPECT_EQ(&files().store(), &files().memory());
    EXPECT_NE(Host::instance().entry_word(LM_ENTRY_STAT_FILE), 0u);
    EXPECT_NE(Host::instance().entry_word(LM_ENTRY_WRITE_FILE), 0u);
    EXPECT_NE(Host::instance().entry_word(LM_ENTRY_DELETE_FILE), 0u);
}

} // namespace
} // namespace lbw::sim
