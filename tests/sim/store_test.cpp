// The simulator's files: everything a program reaches stays inside --root, and a write
// that is cut short leaves the old file as it was.
#include "simhost/directory_file_store.h"
#include "tests/sim/sim_run.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace lbw::test {
namespace {

namespace fsys = std::filesystem;

void spit(const fsys::path &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> names_in(const fsys::path &dir) {
    std::vector<std::string> names;
    for (const auto &entry : fsys::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(SimulatorFiles, ProgramsStayInsideTheRoot) {
    fsys::path base = fresh_folder("root"), root = base / "root";
    fsys::create_directories(root / "sub");
    spit(base / "secret.txt", "secret");
    spit(root / "sub" / "note.txt", "note");
    fsys::create_symlink(base / "secret.txt", root / "link.txt");
    fsys::create_directory_symlink(base, root / "up");

    std::string input = "read sub/note.txt\n"
                        "read ../secret.txt\n"
                        "read sub/../../secret.txt\n"
                        "read " + (base / "secret.txt").string() + "\n"
                        "read link.txt\n"
                        "read up/secret.txt\n"
                        "read /sub/./note.txt\n"
                        "write ../escaped.txt out\n"
                        "write up/escaped.txt out\n"
                        "write sub/new.txt fresh\n";
    SimRun run = simulate("--headless --root " + root.string() + " " LBW_PROGRAM_SIM_FILES, input);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "sub/note.txt: note\n"
                       "../secret.txt: absent\n"
                       "sub/../../secret.txt: absent\n" +
                           (base / "secret.txt").string() + ": absent\n" +
                           "link.txt: absent\n"
                           "up/secret.txt: absent\n"
                           "/sub/./note.txt: note\n"
                           "../escaped.txt: written\n"
                           "up/escaped.txt: refused\n"
                           "sub/new.txt: written\n");
    EXPECT_EQ(slurp(root / "escaped.txt"), "out") << "'..' stops at the root";
    EXPECT_EQ(slurp(root / "sub" / "new.txt"), "fresh");
    EXPECT_EQ(names_in(base), (std::vector<std::string>{"root", "secret.txt"}));
    EXPECT_EQ(slurp(base / "secret.txt"), "secret");
    fsys::remove_all(base);
}

TEST(SimulatorFiles, RootDefaultsToTheCurrentFolder) {
    fsys::path root = fresh_folder("cwd");
    spit(root / "here.txt", "here");
    SimRun run = simulate("--headless " LBW_PROGRAM_SIM_FILES, "read here.txt\n", "cd " + root.string() + " &&");
    EXPECT_EQ(run.out, "here.txt: here\n") << run.err;
    fsys::remove_all(root);
}

// A write of `size` bytes in a child process whose files may not grow beyond `limit`
// bytes; returns the child's wait status.
int write_with_file_size_limit(const fsys::path &root, size_t size, rlim_t limit, bool killed_by_limit) {
    pid_t pid = fork();
    if (pid == 0) {
        rlimit cap{limit, limit};
        setrlimit(RLIMIT_FSIZE, &cap);
        signal(SIGXFSZ, killed_by_limit ? SIG_DFL : SIG_IGN);
        sim::DirectoryFileStore store(root.string());
        std::string big(size, 'n');
        _exit(store.write("f", big.data(), static_cast<uint32_t>(big.size())) ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

TEST(SimulatorFiles, WriteKilledHalfwayLeavesTheOldFile) {
    fsys::path root = fresh_folder("crash");
    spit(root / "f", "old content");
    // The process dies (SIGXFSZ) in the middle of writing the new content.
    int status = write_with_file_size_limit(root, 1 << 20, 64 << 10, true);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
    EXPECT_EQ(slurp(root / "f"), "old content");
    fsys::remove_all(root);
}

TEST(SimulatorFiles, WriteThatFailsHalfwayLeavesTheOldFileAndNoTemporary) {
    fsys::path root = fresh_folder("full");
    spit(root / "f", "old content");
    int status = write_with_file_size_limit(root, 1 << 20, 64 << 10, false);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "the write is reported as failed";
    EXPECT_EQ(slurp(root / "f"), "old content");
    EXPECT_EQ(names_in(root), (std::vector<std::string>{"f"}));
    fsys::remove_all(root);
}

} // namespace
} // namespace lbw::test
