// The standard stream functions of <stdio.h>. Random sequences of stream operations run
// against glibc on a temporary file and against the library on the in-memory store must
// give the same results and leave the same file; fprintf's texts reach past the 255
// bytes formatted on the stack. Then what glibc cannot show: printf without memory,
// exit through the host.
#include "tests/fs/file_test.h"
#include "tests/support/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <sstream>

namespace lbw::test {
namespace {

#define LBW_GLIBC(name, type) std::name,
const StdioApi<FILE> kGlibc = {LBW_STDIO_API(LBW_GLIBC, FILE)};
#undef LBW_GLIBC

struct Op {
    enum Kind { fgetc, fgets, fread, ungetc, fputs, fputc, fwrite, fprintf, fflush, fseek, ftell, feof, clearerr,
                freopen, kKinds };
};
const char *const kModes[] = {"r", "r+", "w", "w+", "a", "a+", "rb", "r+b", "wx", "w+x"}; // "x" last

std::string random_text(std::mt19937_64 &rng, uint64_t n) {
    std::string s;
    while (s.size() < n)
        s.push_back("ab\nxyz 0"[rng() % 8]);
    return s;
}

// Random operations on one side, drawn from `rng` (a copy of the same state on both
// sides); returns one line per operation with its results. Writing needs the stream
// turned to writing (and reading to reading) by a seek first, as C requires of update
// streams.
template <class F>
std::string run(const StdioApi<F> &api, const char *path, const char *mode, std::mt19937_64 rng, int &error_number) {
    auto below = [&](uint64_t n) { return static_cast<int>(rng() % n); };
    std::ostringstream out;
    F *f = api.fopen(path, mode);
    out << "fopen " << (f != nullptr);
    if (!f)
        return out.str() + " errno " + std::to_string(error_number);
    bool writing = false;
    for (int i = below(30); i > 0; i--) {
        const auto kind = static_cast<Op::Kind>(below(Op::kKinds));
        const int a = below(14) - 3, b = below(6);
        const bool long_text = kind == Op::fprintf && below(3) == 0;
        std::string text = random_text(rng, long_text ? 245 + below(15) * below(15) : below(12));
        if (kind == Op::freopen) // not "wx": glibc keeps the FILE of a failed freopen allocated for good
            text = kModes[below(std::size(kModes) - 2)];
        const bool writes = kind == Op::fputs || kind == Op::fputc || kind == Op::fwrite || kind == Op::fprintf ||
                            kind == Op::fflush;
        out << "\n";
        if (kind < Op::fseek && writes != writing) {
            out << "(turn " << api.fseek(f, 0, SEEK_CUR) << ") ";
            writing = writes;
        }
        char buffer[16] = "###############";
        switch (kind) {
        case Op::fgetc: out << "fgetc " << api.fgetc(f); break;
        case Op::fgets: {
            char *r = api.fgets(buffer, b, f);
            out << "fgets(" << b << ") " << (r ? std::string(r) : "NULL");
            break;
        }
        case Op::fread: {
            size_t n = api.fread(buffer, b % 3 + 1, b, f);
            out << "fread " << n << " " << std::string(buffer, n * (b % 3 + 1));
            break;
        }
        // Reading a byte and pushing it back, as a reader that looks ahead does. (Another byte
        // would meet a glibc quirk: its refused fseek drops the byte, the library keeps it.)
        case Op::ungetc: {
            int c = api.fgetc(f);
            out << "fgetc " << c;
            if (c != EOF)
                out << " ungetc " << api.ungetc(c, f);
            break;
        }
        case Op::fputs: out << "fputs " << (api.fputs(text.c_str(), f) >= 0); break;
        case Op::fputc: out << "fputc " << api.fputc(text.empty() ? 0x141 : text[0], f); break;
        case Op::fwrite: out << "fwrite " << api.fwrite(text.data(), 1, text.size(), f); break;
        case Op::fprintf: out << "fprintf " << api.fprintf(f, "%d<%s>%x", a, text.c_str(), b); break;
        case Op::fflush: out << "fflush " << api.fflush(f); break;
        case Op::fseek: {
            int origin = b % 3;
            out << "fseek(" << a << ", " << origin << ") " << api.fseek(f, a, origin);
            writing = false;
            break;
        }
        case Op::ftell: out << "ftell " << api.ftell(f); break;
        case Op::feof: out << "feof " << (api.feof(f) != 0) << " ferror " << (api.ferror(f) != 0); break;
        case Op::clearerr: api.clearerr(f); out << "clearerr"; break;
        case Op::freopen: {
            F *again = api.freopen(path, text.c_str(), f);
            out << "freopen(" << text << ") " << (again == f);
            if (!again)
                return out.str();
            writing = false;
            break;
        }
        case Op::kKinds: break;
        }
    }
    out << "\nfclose " << api.fclose(f);
    return out.str();
}

TEST_F(StdioTest, RandomSequencesAgreeWithGlibc) {
    TempFolder folder("stdio");
    const std::string path = folder / "reference";
    for (int i = 0; i < 3000; i++) {
        std::mt19937_64 rng(20260402 + i);
        const bool exists = rng() % 5 != 0;
        const std::string initial = exists ? random_text(rng, rng() % 40) : "(absent)";
        const char *mode = kModes[rng() % std::size(kModes)];
        std::remove(path.c_str());
        store().clear();
        if (exists) {
            write_file(path, initial);
            store().put("f", initial);
        }
        errno = 0;
        std::string expected = run(kGlibc, path.c_str(), mode, rng, errno);
        lm_errno() = 0;
        std::string seen = run(c, "f", mode, rng, lm_errno());
        ASSERT_EQ(seen, expected) << "sequence " << i << ", mode " << mode << ", file " << initial;
        ASSERT_EQ(store().contents("f").value_or("(absent)"),
                  std::filesystem::exists(path) ? read_file(path) : "(absent)")
            << "sequence " << i << "\n" << expected;
    }
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
}

TEST_F(StdioTest, PrintfWithoutMemoryForALongText) {
    Stream *out = c.fopen("out", "w");
    host().heap().fail = [](uint64_t size) { return size > 1000; };
    EXPECT_EQ(c.fprintf(out, "%s", std::string(2000, 'x').c_str()), -1) << "no memory for the long text";
    EXPECT_EQ(lm_errno(), 12);
    EXPECT_EQ(c.ferror(out), 1);
    EXPECT_EQ(c.fprintf(out, "%s", "short"), 5) << "short texts need no heap";
    EXPECT_EQ(c.fprintf(out, "%s", ""), 0);
    c.fclose(out);
}

TEST_F(StdioTest, ExitFlushesEverythingThenEndsThroughTheHost) {
    auto exit_ = fn<void(int)>("exit");
    // The host's entry reports what the host holds when it is asked to end the program.
    EXPECT_EXIT(
        {
            host().console().echo = stderr;
            c.fputs("prompt> ", var<Stream *>("stdout") = c.fopen("__lmfs_stdout", "w"));
            c.fputs("unflushed", c.fopen("kept", "w"));
            host().set_entry(LM_ENTRY_EXIT, +[](int32_t status) {
                auto kept = simhost::Host::instance().files().memory().contents("kept");
                std::fprintf(stderr, "stored %s\n", kept.value_or("nothing").c_str());
                std::_Exit(status);
            });
            exit_(3);
        },
        ::testing::ExitedWithCode(3), "^prompt> \nstored unflushed\n$");
    // Without the entry (none, or beyond the table's end) the machine stops, as abort
    // does; and when the entry comes back.
    for (int fault = 0; fault < 3; fault++)
        EXPECT_HALTS({
            if (fault == 1)
                host().api().size = LM_ENTRY_EXIT;
            else
                host().set_entry(LM_ENTRY_EXIT, fault ? +[](int32_t) {} : nullptr);
            exit_(0);
        }) << fault;
}

} // namespace
} // namespace lbw::test
