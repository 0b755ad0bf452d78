// The substitute host's folder-backed file store: paths stay inside the root, writes
// replace files atomically.
#include "simhost/directory_file_store.h"
#include "simhost/files.h"
#include "tests/fs/file_test.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace lbw::test {
namespace {

namespace fsys = std::filesystem;
using sim::DirectoryFileStore;

std::string slurp(const fsys::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void spit(const fsys::path &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string bytes_at(const LmBaremetalProgramFileInfo &info) {
    return std::string(reinterpret_cast<const char *>(static_cast<uintptr_t>(info.address)), info.size);
}

// A fresh folder holding `root/` (the store's root) and `outside/secret` beside it.
class DirectoryStoreTest : public ::testing::Test {
protected:
    fsys::path base, root, outside;
    std::unique_ptr<DirectoryFileStore> store;

    void SetUp() override {
        std::string pattern = (fsys::temp_directory_path() / "lbw-files-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        base = pattern;
        root = base / "root";
        outside = base / "outside";
        fsys::create_directories(root / "sub");
        fsys::create_directories(outside);
        spit(outside / "secret", "secret");
        store = std::make_unique<DirectoryFileStore>(root.string());
    }
    void TearDown() override {
        store.reset();
        fsys::remove_all(base);
    }

    std::optional<std::string> stat(const std::string &path) {
        LmBaremetalProgramFileInfo info{};
        if (!store->stat(path, info))
            return std::nullopt;
        return bytes_at(info);
    }
    bool write(const std::string &path, const std::string &text) {
        return store->write(path, text.data(), static_cast<uint32_t>(text.size()));
    }
    std::vector<std::string> names_in(const fsys::path &dir) {
        std::vector<std::string> names;
        for (const auto &entry : fsys::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(DirectoryStoreTest, PathComponentsStayBelowTheRoot) {
    using V = std::vector<std::string>;
    EXPECT_EQ(DirectoryFileStore::components("a/b"), (V{"a", "b"}));
    EXPECT_EQ(DirectoryFileStore::components("/a//./b/"), (V{"a", "b"}));
    EXPECT_EQ(DirectoryFileStore::components("../../a"), (V{"a"}));
    EXPECT_EQ(DirectoryFileStore::components("a/../../b/.."), V{});
    EXPECT_EQ(DirectoryFileStore::components("a/b/../c"), (V{"a", "c"}));
    EXPECT_EQ(DirectoryFileStore::components(""), V{});
    EXPECT_EQ(DirectoryFileStore::components("..."), (V{"..."}));
}

TEST_F(DirectoryStoreTest, WriteStatAndRemoveFiles) {
    EXPECT_FALSE(stat("f"));
    EXPECT_TRUE(write("f", "hello"));
    EXPECT_EQ(slurp(root / "f"), "hello");
    EXPECT_EQ(stat("f"), "hello");
    EXPECT_EQ(stat("/f"), "hello") << "an absolute path starts at the root";
    EXPECT_TRUE(write("sub/g", std::string("\0\1", 2)));
    EXPECT_EQ(stat("sub/../sub/g"), std::string("\0\1", 2));
    EXPECT_TRUE(write("empty", ""));
    EXPECT_EQ(stat("empty"), "");
    EXPECT_FALSE(write("missing/f", "x")) << "folders are not created";
    EXPECT_TRUE(store->remove("f"));
    EXPECT_FALSE(fsys::exists(root / "f"));
    EXPECT_FALSE(store->remove("f"));
    EXPECT_FALSE(store->remove("sub")) << "only files are deleted";
    EXPECT_FALSE(stat("sub"));
    EXPECT_FALSE(stat("/"));
    EXPECT_FALSE(write("", "x"));
}

TEST_F(DirectoryStoreTest, DotDotAndAbsolutePathsNeverLeaveTheRoot) {
    std::string climb = "../outside/secret";
    EXPECT_FALSE(stat(climb));
    EXPECT_FALSE(stat("sub/../../outside/secret"));
    EXPECT_FALSE(stat((outside / "secret").string()));
    EXPECT_FALSE(store->remove(climb));
    EXPECT_TRUE(write("../../escaped", "x"));
    EXPECT_TRUE(fsys::exists(root / "escaped")) << "clamped at the root";
    EXPECT_FALSE(fsys::exists(base / "escaped"));
    EXPECT_FALSE(write(climb, "overwritten")) << "root/outside does not exist";
    EXPECT_EQ(slurp(outside / "secret"), "secret");
    EXPECT_EQ(names_in(base), (std::vector<std::string>{"outside", "root"}));
}

TEST_F(DirectoryStoreTest, SymbolicLinksAreNeverFollowed) {
    fsys::create_directory_symlink(outside, root / "dirlink");
    fsys::create_symlink(outside / "secret", root / "filelink");
    fsys::create_symlink("sub", root / "innerlink");

    EXPECT_FALSE(stat("dirlink/secret"));
    EXPECT_FALSE(write("dirlink/secret", "overwritten"));
    EXPECT_FALSE(write("dirlink/new", "x"));
    EXPECT_FALSE(store->remove("dirlink/secret"));
    EXPECT_FALSE(stat("filelink"));
    EXPECT_FALSE(store->remove("filelink"));
    EXPECT_FALSE(write("innerlink/f", "x")) << "not even a link that stays inside";

    EXPECT_TRUE(write("filelink", "replaced"));
    EXPECT_FALSE(fsys::is_symlink(root / "filelink")) << "the link itself is replaced";
    EXPECT_EQ(slurp(root / "filelink"), "replaced");
    EXPECT_EQ(slurp(outside / "secret"), "secret");
    EXPECT_EQ(names_in(outside), (std::vector<std::string>{"secret"}));
}

TEST_F(DirectoryStoreTest, WritesReplaceTheNameAtomically) {
    spit(root / "f", "old");
    ASSERT_EQ(link((root / "f").c_str(), (root / "hardlink").c_str()), 0);
    std::ifstream reader(root / "f", std::ios::binary);
    EXPECT_TRUE(write("f", "new content"));
    EXPECT_EQ(slurp(root / "f"), "new content");
    EXPECT_EQ(slurp(root / "hardlink"), "old") << "a new file took the name; the old one was not rewritten";
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reader), {}), "old");
    EXPECT_EQ(names_in(root), (std::vector<std::string>{"f", "hardlink", "sub"})) << "no temporary file is left";
}

TEST_F(DirectoryStoreTest, FoldersSpecialFilesAndAMissingRootAreRefused) {
    fsys::create_directories(root / "dir" / "inner");
    EXPECT_FALSE(write("dir", "x")) << "a folder is not replaced by a file";
    EXPECT_TRUE(fsys::is_directory(root / "dir" / "inner"));
    ASSERT_EQ(mkfifo((root / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(stat("fifo")) << "a special file is not a file and does not block";
    EXPECT_FALSE(store->remove("fifo"));
    EXPECT_EQ(names_in(root), (std::vector<std::string>{"dir", "fifo", "sub"})) << "no temporary file is left";
    EXPECT_THROW(DirectoryFileStore((base / "nothing").string()), std::runtime_error);
}

TEST_F(DirectoryStoreTest, UnchangedFilesKeepTheirAddressAndOldBytesStay) {
    write("f", "one");
    LmBaremetalProgramFileInfo a{}, b{}, c{};
    ASSERT_TRUE(store->stat("f", a));
    ASSERT_TRUE(store->stat("/./f", b));
    EXPECT_EQ(a.address, b.address);
    spit(root / "f", "two");
    ASSERT_TRUE(store->stat("f", c));
    EXPECT_NE(c.address, a.address);
    EXPECT_EQ(bytes_at(a), "one");
    EXPECT_EQ(bytes_at(c), "two");
    EXPECT_LT(uint64_t{c.address} + c.size, uint64_t{1} << 32);
}

class DirectoryStoreLibraryTest : public FileTest {};

TEST_F(DirectoryStoreLibraryTest, StreamsWorkOverAFolder) {
    std::string pattern = (fsys::temp_directory_path() / "lbw-files-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    fsys::path root = pattern;
    {
        DirectoryFileStore folder(root.string());
        files().use(&folder);
        Stream *s = must_open("notes.txt", "w");
        write(s, "line one\n");
        EXPECT_EQ(fclose(s), 0);
        EXPECT_EQ(slurp(root / "notes.txt"), "line one\n");
        s = must_open("notes.txt", "a+");
        write(s, "line two\n");
        EXPECT_EQ(fseek(s, 0, 0), 0);
        EXPECT_EQ(read_rest(s), "line one\nline two\n");
        EXPECT_EQ(fclose(s), 0);
        EXPECT_EQ(rename("notes.txt", "/kept.txt"), 0);
        EXPECT_EQ(slurp(root / "kept.txt"), "line one\nline two\n");
        EXPECT_EQ(fopen("notes.txt", "r"), nullptr);
        files().use(nullptr);
    }
    fsys::remove_all(root);
}

} // namespace
} // namespace lbw::test
