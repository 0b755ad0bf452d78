// The hosts' one path rule, in one table: the walk itself, and every store and decoder
// that resolves paths with it finds a file written at the row's path under the row's name.
#include "hostcore/memory_files.h"
#include "hostcore/path.h"
#include "simhost/directory_file_store.h"
#include "simhost/images.h"
#include "tests/support/files.h"
#include "tests/support/low_memory.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

namespace lbw::test {
namespace {

struct Row {
    const char *path;
    const char *below_root; // "" names the root itself, which holds no file
};

const Row kRows[] = {
    {"a", "a"},         {"/a/b", "a/b"},     {"a//b/", "a/b"},   {"./x/../a/b", "a/b"},   {"../a", "a"},
    {"/../../a", "a"},  {"a/../../b", "b"},  {"x/.../y", "x/.../y"}, {"..a/b..", "..a/b.."},
    {"a/b/../../..", ""}, {"", ""},          {"/", ""},          {".", ""},               {"..", ""},
};

// The inode of a file, to tell which file a descriptor opened.
ino_t inode(int fd) {
    struct stat st {};
    fstat(fd, &st);
    close(fd);
    return st.st_ino;
}

TEST(HostPaths, EveryHostResolvesAPathBelowItsRoot) {
    LowMemory memory(1 << 20);
    hostcore::Heap heap;
    ASSERT_TRUE(heap.add_region(memory.data(), memory.size()));
    for (const Row &row : kRows) {
        SCOPED_TRACE(row.path);
        const size_t length = std::strlen(row.below_root);
        char out[64];
        ASSERT_TRUE(hostcore::path_below_root(row.path, out, std::strlen(row.path) + 1));
        EXPECT_STREQ(out, row.below_root);
        EXPECT_TRUE(length == 0 || !hostcore::path_below_root(row.path, out, length)) << "one byte short";

        hostcore::MemoryFiles files;
        files.init(&heap);
        TempFolder root;
        simhost::DirectoryFileStore folder(root.path());
        if (length > 0)
            std::filesystem::create_directories(std::filesystem::path(root / row.below_root).parent_path());
        EXPECT_EQ(files.write(row.path, "x", 1), length > 0);
        EXPECT_EQ(folder.write(row.path, "x", 1), length > 0);
        if (length > 0) {
            EXPECT_NE(files.find(row.below_root), nullptr);
            struct stat st {};
            ASSERT_EQ(stat((root / row.below_root).c_str(), &st), 0);
            int fd = simhost::ImageDecoder::open_inside(root.path(), row.path);
            ASSERT_GE(fd, 0);
            EXPECT_EQ(inode(fd), st.st_ino);
        }
        files.clear();
    }
    EXPECT_FALSE(hostcore::path_below_root(nullptr, nullptr, 0));
    EXPECT_EQ(heap.bytes_in_use(), 0u);
}

} // namespace
} // namespace lbw::test
