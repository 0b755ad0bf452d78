// The boot host's file store, on Linux: path resolution, the cpio archive that the
// build packs, and changes made by the program.
#include "boot/file_store.h"
#include "tests/support/low_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace lbw::boot {
namespace {

std::string normalized(const char *path) {
    char out[FileStore::kMaximumPath];
    return FileStore::normalize(path, out) ? out : "<refused>";
}

TEST(FileStorePathTest, PathsResolveLexicallyInsideTheRoot) {
    EXPECT_EQ(normalized("a/./b//c/"), "a/b/c");
    EXPECT_EQ(normalized("/usr/../img.png"), "img.png");
    EXPECT_EQ(normalized("/../x"), "x");
    EXPECT_EQ(normalized("a/../../x"), "x") << "nothing lies above the root";
    EXPECT_EQ(normalized("../.."), "");
    EXPECT_EQ(normalized("/"), "");
    EXPECT_EQ(normalized(""), "");
    EXPECT_EQ(normalized("..hidden/.x"), "..hidden/.x");
    EXPECT_EQ(normalized(nullptr), "<refused>");
    std::string longest(FileStore::kMaximumPath - 1, 'p');
    EXPECT_EQ(normalized(longest.c_str()), longest);
    std::string too_long(FileStore::kMaximumPath, 'p');
    EXPECT_EQ(normalized(too_long.c_str()), "<refused>");
    EXPECT_EQ(normalized(("x/../" + too_long.substr(5)).c_str()), too_long.substr(5));
}

std::string header(const std::string &name, unsigned mode, size_t size) {
    char text[111];
    std::snprintf(text, sizeof text, "070701%08X%08X%08X%08X%08X%08X%08zX%08X%08X%08X%08X%08zX%08X", 0u, mode, 0u,
                  0u, 1u, 0u, size, 0u, 0u, 0u, 0u, name.size() + 1, 0u);
    std::string h(text, 110);
    h += name;
    h.push_back('\0');
    h.resize((h.size() + 3) & ~size_t{3}, '\0');
    return h;
}

std::string entry(const std::string &name, const std::string &data, unsigned mode = 0100644) {
    std::string e = header(name, mode, data.size()) + data;
    e.resize((e.size() + 3) & ~size_t{3}, '\0');
    return e;
}

const std::string kTrailer = header("TRAILER!!!", 0, 0);

class FileStoreTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(heap.add_region(arena.data(), arena.size()));
        store.init(&heap);
    }

    // Loads an archive from a buffer of exactly its size, so reads past it are caught.
    const char *load(const std::string &archive) {
        archives.emplace_back(archive.begin(), archive.end());
        return store.load_archive(archives.back().data(), archives.back().size());
    }

    std::string content(const char *path) {
        const FileStore::File *file = store.find(path);
        return file ? std::string(reinterpret_cast<const char *>(file->data), file->size) : "<absent>";
    }

    test::LowMemory arena{256 * 1024};
    hostcore::Heap heap;
    FileStore store;
    std::vector<std::vector<uint8_t>> archives;
};

TEST_F(FileStoreTest, TheArchiveTheBuildPacksIsRead) {
    std::ifstream in(LBW_TEST_FILES, std::ios::binary);
    std::string archive((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(archive.empty());
    ASSERT_EQ(load(archive), nullptr);
    EXPECT_EQ(content("greeting.txt"), "Hello from the file store.\n");
    EXPECT_EQ(content("/notes/list.txt"), "one\ntwo\n");
    EXPECT_EQ(store.find("images/tiny.png")->size, 86u);
    EXPECT_EQ(store.count(), 4u);
}

TEST_F(FileStoreTest, DirectoriesAreSkippedAndLaterEntriesWin) {
    ASSERT_EQ(load(entry("./dir", "", 040755) + entry("./dir/a", "first") + entry("dir/a", "second") +
                   entry("empty", "") + kTrailer),
              nullptr);
    EXPECT_EQ(store.count(), 2u);
    EXPECT_EQ(content("dir/a"), "second");
    EXPECT_EQ(content("empty"), "");
    EXPECT_EQ(content("dir"), "<absent>");
}

TEST_F(FileStoreTest, DamagedArchivesAreRefused) {
    std::string good = entry("a", "data") + kTrailer;
    EXPECT_STREQ(load(""), "the file archive ends without its trailer");
    EXPECT_STREQ(load(entry("a", "data")), "the file archive ends without its trailer");
    EXPECT_STREQ(load("070707" + good.substr(6)), "the file archive is not a cpio archive in the newc format");
    EXPECT_STREQ(load(good.substr(0, 50)), "the file archive ends without its trailer");
    EXPECT_STREQ(load(good.substr(0, 111)), "a name in the file archive runs past its end");
    EXPECT_STREQ(load(good.substr(0, 114)), "a file in the file archive runs past its end");
    std::string bad_digit = good;
    bad_digit[6 + 6 * 8] = 'g';
    EXPECT_STREQ(load(bad_digit), "the file archive has a damaged header");
    std::string unterminated = good;
    unterminated[111] = 'x'; // the name's NUL
    EXPECT_STREQ(load(unterminated), "a name in the file archive is not terminated");
    EXPECT_STREQ(load(entry("/", "root") + kTrailer), "a name in the file archive is too long or names no file");
}

TEST_F(FileStoreTest, WritesCreateAndReplaceFiles) {
    ASSERT_EQ(load(entry("a.txt", "archived") + kTrailer), nullptr);
    EXPECT_TRUE(store.write("/new/b.txt", "fresh", 5));
    EXPECT_EQ(content("new/./b.txt"), "fresh");
    EXPECT_TRUE(store.write("a.txt", "changed", 7));
    EXPECT_EQ(content("a.txt"), "changed");
    EXPECT_TRUE(store.write("zero", nullptr, 0));
    EXPECT_EQ(content("zero"), "");
    EXPECT_FALSE(store.write("bad", nullptr, 3));
    EXPECT_FALSE(store.write("/", "x", 1));
    EXPECT_FALSE(store.write(nullptr, "x", 1));
    EXPECT_TRUE(store.remove("a.txt"));
    EXPECT_FALSE(store.remove("a.txt"));
    EXPECT_FALSE(store.remove("never"));
    EXPECT_EQ(content("a.txt"), "<absent>");
    EXPECT_EQ(content("new/b.txt"), "fresh") << "removing one file keeps the others";
}

TEST_F(FileStoreTest, BytesHandedOutByStatStayReadableAfterAReplace) {
    ASSERT_TRUE(store.write("f", "version one", 11));
    const FileStore::File *file = store.stat("f");
    ASSERT_NE(file, nullptr);
    const uint8_t *seen = file->data;
    ASSERT_TRUE(store.write("f", "two", 3));
    ASSERT_TRUE(store.remove("f"));
    EXPECT_EQ(std::memcmp(seen, "version one", 11), 0);
    EXPECT_TRUE(heap.owns(seen)) << "still a live block of the heap";
}

TEST_F(FileStoreTest, BytesNobodySawGoBackToTheHeap) {
    uint64_t before = heap.free_bytes();
    ASSERT_TRUE(store.write("f", "one", 3));
    for (int i = 0; i < 100; i++)
        ASSERT_TRUE(store.write("f", "again and again", 15));
    ASSERT_TRUE(store.remove("f"));
    // Only the store's index stays allocated.
    EXPECT_GE(heap.free_bytes() + 512, before);
}

TEST_F(FileStoreTest, AFailedWriteKeepsTheOldFile) {
    ASSERT_TRUE(store.write("f", "kept", 4));
    std::vector<char> huge(arena.size());
    EXPECT_FALSE(store.write("f", huge.data(), static_cast<uint32_t>(huge.size())));
    EXPECT_EQ(content("f"), "kept");
}

} // namespace
} // namespace lbw::boot
