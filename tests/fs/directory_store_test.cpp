// The substitute host's folder-backed file store: paths stay inside the root, links are
// never followed, writes replace files atomically, and the bytes handed out stay put.
// (The simulator's own run over such a store is tested with the simulator.)
#include "simhost/directory_file_store.h"
#include "tests/fs/file_test.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace lbw::test {
namespace {

namespace fsys = std::filesystem;
using sim::DirectoryFileStore;
using Names = std::vector<std::string>;

std::string slurp(const fsys::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

Names names_in(const fsys::path &dir) {
    Names names;
    for (const auto &entry : fsys::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh folder holding `root/sub/` (the store's root) and `outside/secret` beside it.
class DirectoryStoreTest : public FileTest {
protected:
    fsys::path base, root, outside;
    std::unique_ptr<DirectoryFileStore> folder;

    void SetUp() override {
        FileTest::SetUp();
        std::string pattern = (fsys::temp_directory_path() / "lbw-files-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        base = pattern, root = base / "root", outside = base / "outside";
        fsys::create_directories(root / "sub");
        fsys::create_directories(outside);
        std::ofstream(outside / "secret") << "secret";
        folder = std::make_unique<DirectoryFileStore>(root.string());
    }
    void TearDown() override {
        files().use(nullptr);
        folder.reset();
        fsys::remove_all(base);
        FileTest::TearDown();
    }

    std::optional<std::string> stat(const std::string &path) {
        LmBaremetalProgramFileInfo info{};
        if (!folder->stat(path, info))
            return std::nullopt;
        return std::string(reinterpret_cast<const char *>(static_cast<uintptr_t>(info.address)), info.size);
    }
    bool put(const std::string &path, const std::string &text) {
        return folder->write(path, text.data(), static_cast<uint32_t>(text.size()));
    }
};

TEST_F(DirectoryStoreTest, PathsAreTakenBelowTheRoot) {
    const std::pair<const char *, Names> rows[] = {
        {"a/b", {"a", "b"}}, {"/a//./b/", {"a", "b"}}, {"../../a", {"a"}}, {"a/../../b/..", {}},
        {"a/b/../c", {"a", "c"}}, {"", {}}, {"...", {"..."}},
    };
    for (const auto &[path, components] : rows)
        EXPECT_EQ(DirectoryFileStore::components(path), components) << path;

    EXPECT_FALSE(stat("f"));
    EXPECT_TRUE(put("f", "hello"));
    EXPECT_EQ(slurp(root / "f"), "hello");
    EXPECT_EQ(stat("/f"), "hello") << "an absolute path starts at the root";
    EXPECT_TRUE(put("sub/g", std::string("\0\1", 2)));
    EXPECT_EQ(stat("sub/../sub/g"), std::string("\0\1", 2));
    EXPECT_TRUE(put("empty", ""));
    EXPECT_EQ(stat("empty"), "");
    EXPECT_TRUE(put("../../escaped", "x"));
    EXPECT_EQ(slurp(root / "escaped"), "x") << "'..' stops at the root";
    EXPECT_FALSE(put("missing/f", "x")) << "folders are not created";
    EXPECT_FALSE(put("", "x"));
    EXPECT_TRUE(folder->remove("f"));
    EXPECT_FALSE(folder->remove("f"));
    EXPECT_FALSE(stat((outside / "secret").string()));
    EXPECT_EQ(names_in(base), (Names{"outside", "root"}));
}

TEST_F(DirectoryStoreTest, LinksFoldersAndSpecialFilesAreNeverFollowedOrReplaced) {
    fsys::create_directory_symlink(outside, root / "dirlink");
    fsys::create_symlink(outside / "secret", root / "filelink");
    fsys::create_symlink("sub", root / "innerlink");
    fsys::create_directories(root / "dir" / "inner");
    ASSERT_EQ(mkfifo((root / "fifo").c_str(), 0600), 0);
    for (const char *path : {"dirlink/secret", "filelink", "fifo", "sub", "/"})
        EXPECT_FALSE(stat(path)) << path;
    for (const char *path : {"dirlink/secret", "dirlink/new", "innerlink/f", "dir"})
        EXPECT_FALSE(put(path, "x")) << path;
    for (const char *path : {"dirlink/secret", "filelink", "fifo", "sub"})
        EXPECT_FALSE(folder->remove(path)) << path;
    EXPECT_TRUE(put("filelink", "replaced"));
    EXPECT_FALSE(fsys::is_symlink(root / "filelink")) << "the link itself is replaced";
    EXPECT_EQ(slurp(outside / "secret"), "secret");
    EXPECT_EQ(names_in(outside), Names{"secret"});
    EXPECT_TRUE(fsys::is_directory(root / "dir" / "inner"));
    EXPECT_THROW(DirectoryFileStore((base / "nothing").string()), std::runtime_error);
}

TEST_F(DirectoryStoreTest, WritesReplaceTheNameAtomicallyAndHandedOutBytesStay) {
    std::ofstream(root / "f") << "old";
    ASSERT_EQ(link((root / "f").c_str(), (root / "hardlink").c_str()), 0);
    LmBaremetalProgramFileInfo a{}, b{}, c{};
    ASSERT_TRUE(folder->stat("f", a));
    ASSERT_TRUE(folder->stat("/./f", b));
    EXPECT_EQ(a.address, b.address) << "an unchanged file keeps its address";
    EXPECT_TRUE(put("f", "new content"));
    EXPECT_EQ(slurp(root / "hardlink"), "old") << "a new file took the name; the old one was not rewritten";
    EXPECT_EQ(names_in(root), (Names{"f", "hardlink", "sub"})) << "no temporary file is left";
    ASSERT_TRUE(folder->stat("f", c));
    EXPECT_NE(c.address, a.address);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(uintptr_t{a.address}), 3), "old");
    EXPECT_EQ(stat("f"), "new content");
    EXPECT_LT(uint64_t{c.address} + c.size, uint64_t{1} << 32);
}

TEST_F(DirectoryStoreTest, StreamsWorkOverAFolder) {
    files().use(folder.get());
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
}

} // namespace
} // namespace lbw::test
