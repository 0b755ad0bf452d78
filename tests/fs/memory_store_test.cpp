// The substitute host's in-memory file store and the recording of the host entries.
#include "simhost/console.h"
#include "simhost/files.h"
#include "simhost/heap.h"
#include "simhost/host.h"
#include "simhost/images.h"

#include <gtest/gtest.h>

namespace lbw::sim {
namespace {

std::string bytes_at(const LmBaremetalProgramFileInfo &info) {
    return std::string(reinterpret_cast<const char *>(static_cast<uintptr_t>(info.address)), info.size);
}

TEST(MemoryStoreTest, BytesHandedOutStayInPlaceWhateverHappensLater) {
    Host::instance().reset();
    MemoryFileStore &store = Host::instance().files().memory();
    LmBaremetalProgramFileInfo first{}, second{}, empty{};
    store.put("f", "first");
    ASSERT_TRUE(store.stat("f", first));
    ASSERT_TRUE(store.write("f", "second!", 7));
    ASSERT_TRUE(store.stat("f", second));
    EXPECT_NE(second.address, first.address);
    ASSERT_TRUE(store.write("e", nullptr, 0));
    ASSERT_TRUE(store.stat("e", empty));
    EXPECT_NE(empty.address, 0u) << "empty files have an address too";
    EXPECT_EQ(empty.size, 0u);
    EXPECT_FALSE(store.write("bad", nullptr, 3));
    EXPECT_FALSE(store.exists("bad"));
    ASSERT_TRUE(store.remove("f"));
    store.clear();
    Host::instance().reset();
    EXPECT_EQ(bytes_at(first), "first");
    EXPECT_EQ(bytes_at(second), "second!");
}

TEST(MemoryStoreTest, EntriesRecordEveryCallCanFailAndAreResetWithTheHost) {
    FileService &files = Host::instance().files();
    Host::instance().record_calls(true);
    Host::instance().reset();
    LmBaremetalProgramFileInfo info{};
    EXPECT_EQ(FileService::host_write_file("a", "xyz", 3), 1);
    EXPECT_EQ(FileService::host_stat_file("a", &info), 1);
    EXPECT_EQ(info.size, 3u);
    EXPECT_EQ(FileService::host_stat_file("b", &info), 0);
    files.fail = [](const FileService::Call &call) { return call.op == FileService::Op::remove; };
    EXPECT_EQ(FileService::host_delete_file("a"), 0);
    EXPECT_TRUE(files.memory().exists("a"));
    files.fail = nullptr;
    EXPECT_EQ(FileService::host_delete_file("a"), 1);
    ASSERT_EQ(files.calls.size(), 5u);
    EXPECT_EQ(files.calls[0].op, FileService::Op::write);
    EXPECT_EQ(files.calls[0].data, "xyz");
    EXPECT_EQ(files.calls[2].path, "b");
    const int results[] = {1, 1, 0, 0, 1};
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(files.calls[i].result, results[i]) << i;
    EXPECT_EQ(files.calls_of(FileService::Op::stat).size(), 2u);

    files.memory().put("f", "x");
    files.fail = [](const FileService::Call &) { return true; };
    Host::instance().reset();
    EXPECT_FALSE(files.memory().exists("f"));
    EXPECT_FALSE(files.fail);
    EXPECT_TRUE(files.calls.empty());
    EXPECT_EQ(&files.store(), &files.memory());
    for (uint32_t entry : {LM_ENTRY_STAT_FILE, LM_ENTRY_WRITE_FILE, LM_ENTRY_DELETE_FILE})
        EXPECT_NE(Host::instance().entry_word(entry), 0u);
}

TEST(HostRecordingTest, NothingIsRecordedUnlessTheTestAsks) {
    Host &host = Host::instance();
    host.record_calls(false); // as in the simulator, whose programs may run for hours
    host.reset();
    HostHeap::host_free(HostHeap::host_realloc(HostHeap::host_malloc(8), 64));
    ConsoleService::host_console_write_line("line");
    char buffer[8];
    ConsoleService::host_read_line(buffer, sizeof buffer, "", 0);
    LmBaremetalProgramFileInfo info{};
    FileService::host_write_file("a", "xyz", 3);
    FileService::host_stat_file("a", &info);
    LmBaremetalProgramImageInfo image{};
    ImageDecoder::host_png_decode_file("a.png", &image);
    EXPECT_TRUE(host.heap().malloc_sizes.empty() && host.heap().realloc_sizes.empty() && host.heap().freed.empty());
    EXPECT_TRUE(host.console().lines.empty() && host.console().reads.empty());
    EXPECT_TRUE(host.files().calls.empty());
    EXPECT_TRUE(host.images().requests.empty());

    host.record_calls(true);
    host.reset();
    HostHeap::host_free(HostHeap::host_malloc(8));
    ConsoleService::host_console_write_line("line");
    ImageDecoder::host_png_decode_file("a.png", &image);
    EXPECT_EQ(host.heap().freed.size(), 1u);
    EXPECT_EQ(host.console().lines.size(), 1u);
    EXPECT_EQ(host.images().requests.size(), 1u);
}

} // namespace
} // namespace lbw::sim
