// Files both hosts keep in memory: bytes stat handed out stay in place, unchanged, after
// their file was replaced, deleted or cleared; bytes nobody was shown go back to the heap.
// (What a write refuses is tested with the boot host's archive loader, tests/baremetal.)
#include "hostcore/memory_files.h"
#include "tests/support/low_memory.h"

#include <gtest/gtest.h>

#include <string>

namespace lbw::hostcore {
namespace {

std::string bytes(const MemoryFiles::File *file) {
    return file ? std::string(reinterpret_cast<const char *>(file->data), file->size) : "<absent>";
}

TEST(MemoryFiles, BytesHandedOutOutliveTheirFileAndNoOthersAreKept) {
    test::LowMemory memory(64 << 10);
    Heap heap;
    ASSERT_TRUE(heap.add_region(memory.data(), memory.size()));
    MemoryFiles files;
    files.init(&heap);
    const std::string big(4096, 'b');
    for (int round = 0; round < 50; round++) // unseen bytes of replaced files are reused
        ASSERT_TRUE(files.write("a", big.data(), static_cast<uint32_t>(big.size())));
    ASSERT_TRUE(files.write("d/f", "first", 5));
    const uint8_t *first = files.stat("d/f")->data;
    ASSERT_TRUE(files.write("d/f", "second", 6));
    EXPECT_EQ(bytes(files.find("d/f")), "second");
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(first), 5), "first") << "replaced, still in place";
    const uint8_t *second = files.stat("d/f")->data;
    EXPECT_TRUE(files.remove("d/f"));
    EXPECT_FALSE(files.remove("d/f"));
    EXPECT_EQ(bytes(files.find("d/f")), "<absent>");
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(second), 6), "second") << "deleted, still in place";
    files.clear();
    EXPECT_EQ(files.count(), 0u);
    EXPECT_TRUE(heap.release(const_cast<uint8_t *>(first)) && heap.release(const_cast<uint8_t *>(second)));
    EXPECT_EQ(heap.bytes_in_use(), 0u) << "only the two shown blocks stayed";
}

} // namespace
} // namespace lbw::hostcore
