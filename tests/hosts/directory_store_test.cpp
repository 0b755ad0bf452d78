// The simulator's files (--root): no path leaves the root folder (the path rule itself is
// in paths_test.cpp), symbolic links are never followed, and a write replaces a file
// whole or not at all.
#include "simhost/directory_file_store.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace lbw::test {
namespace {

namespace fsys = std::filesystem;

TEST(SimulatorFiles, NothingOutsideTheRootIsReachedAndLinksAreNotFollowed) {
    TempFolder base;
    fsys::create_directories(base / "root/sub");
    write_file(base / "secret", "secret");
    fsys::create_directory_symlink(base.path(), base / "root/dirlink");
    fsys::create_symlink(base / "secret", base / "root/filelink");
    fsys::create_symlink("sub", base / "root/innerlink");
    simhost::DirectoryFileStore store(base / "root");
    LmBaremetalProgramFileInfo info{};
    using Paths = std::vector<std::string>;
    for (const std::string &path : Paths{"../secret", "sub/../../secret", base / "secret", "dirlink/secret", "filelink", "sub", "/"})
        EXPECT_FALSE(store.stat(path, info) || store.remove(path)) << path;
    for (const std::string &path : Paths{"dirlink/secret", "dirlink/new", "innerlink/f", "missing/f", "sub", ""})
        EXPECT_FALSE(store.write(path, "x", 1)) << path;
    EXPECT_TRUE(store.write("filelink", "replaced", 8)); // the link itself is replaced
    EXPECT_TRUE(store.stat("/filelink", info));
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(uintptr_t{info.address}), info.size), "replaced");
    EXPECT_EQ(read_file(base / "secret"), "secret");
    EXPECT_EQ(file_names(base.path()), (std::vector<std::string>{"root", "secret"}));
    EXPECT_EQ(file_names(base / "root"), (std::vector<std::string>{"dirlink", "filelink", "innerlink", "sub"}));
    EXPECT_THROW(simhost::DirectoryFileStore(base / "nothing"), std::runtime_error);
}

// A write of 1 MiB in a child whose files may not grow beyond 64 KiB, told of the limit
// or killed by it: the old file stays (with no temporary file beside it when told). A hard link
// shows that a new file takes the name rather than the old one being rewritten.
TEST(SimulatorFiles, AWriteReplacesTheFileWholeOrNotAtAll) {
    TempFolder root;
    write_file(root / "f", "old");
    ASSERT_EQ(link((root / "f").c_str(), (root / "hardlink").c_str()), 0);
    simhost::DirectoryFileStore store(root.path());
    for (bool killed : {false, true}) {
        pid_t pid = fork();
        if (pid == 0) {
            rlimit cap{64 << 10, 64 << 10};
            setrlimit(RLIMIT_FSIZE, &cap);
            signal(SIGXFSZ, killed ? SIG_DFL : SIG_IGN);
            std::string big(1 << 20, 'n');
            _exit(store.write("f", big.data(), static_cast<uint32_t>(big.size())) ? 0 : 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(killed ? WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ : WEXITSTATUS(status) == 1) << status;
        EXPECT_EQ(read_file(root / "f"), "old");
        EXPECT_TRUE(killed || file_names(root.path()).size() == 2) << "no temporary file is left";
    }
    EXPECT_TRUE(store.write("f", "new", 3));
    EXPECT_EQ(read_file(root / "f"), "new");
    EXPECT_EQ(read_file(root / "hardlink"), "old");
}

} // namespace
} // namespace lbw::test
