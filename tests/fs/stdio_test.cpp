// The standard stream functions of <stdio.h>. Random sequences of stream operations run
// against glibc on a temporary file and against the library on the in-memory store must
// give the same results and leave the same file. What glibc cannot show follows: the
// console's pending line, exit through the host, null streams, calloc.
#include "fs/record.h"
#include "simhost/files.h"
#include "tests/support/library_test.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace lbw::test {
namespace {

// The functions under comparison, for glibc's FILE and for the library's.
template <class F>
struct StdioApi {
    F *(*fopen)(const char *, const char *);
    F *(*freopen)(const char *, const char *, F *);
    int (*fclose)(F *);
    size_t (*fread)(void *, size_t, size_t, F *);
    size_t (*fwrite)(const void *, size_t, size_t, F *);
    int (*fgetc)(F *);
    int (*ungetc)(int, F *);
    char *(*fgets)(char *, int, F *);
    int (*fputc)(int, F *);
    int (*fputs)(const char *, F *);
    int (*fprintf)(F *, const char *, ...);
    int (*fflush)(F *);
    int (*fseek)(F *, long, int);
    long (*ftell)(F *);
    int (*feof)(F *);
    int (*ferror)(F *);
    void (*clearerr)(F *);
};

const StdioApi<FILE> kGlibc = {std::fopen, std::freopen, std::fclose, std::fread,  std::fwrite, std::fgetc,
                               std::ungetc, std::fgets,  std::fputc,  std::fputs,  std::fprintf, std::fflush,
                               std::fseek,  std::ftell,  std::feof,   std::ferror, std::clearerr};

// One operation with its random arguments; `writes` ops need the stream turned to
// writing (and the others to reading) by a seek first, as C requires of update streams.
struct Op {
    enum Kind { fgetc, fgets, fread, ungetc, fputs, fputc, fwrite, fprintf, fflush, fseek, ftell, feof, clearerr,
                freopen, kCount } kind = fgetc;
    int a = 0, b = 0;
    std::string text;
    bool writes() const { return kind == fputs || kind == fputc || kind == fwrite || kind == fprintf || kind == fflush; }
};

const char *const kModes[] = {"r", "r+", "w", "w+", "a", "a+", "rb", "r+b", "wx", "w+x"}; // "x" last

struct Script {
    std::string initial; // the file before opening
    bool exists = true;
    const char *mode = "r";
    std::vector<Op> ops;
};

Script random_script(std::mt19937_64 &rng) {
    auto below = [&](uint64_t n) { return static_cast<int>(rng() % n); };
    auto text = [&](int n) {
        std::string s;
        for (int i = 0; i < n; i++)
            s.push_back("ab\nxyz 0"[below(8)]);
        return s;
    };
    Script script;
    script.exists = below(5) != 0;
    script.initial = script.exists ? text(below(40)) : "";
    script.mode = kModes[below(std::size(kModes))];
    for (int i = below(30); i > 0; i--) {
        Op op;
        op.kind = static_cast<Op::Kind>(below(Op::kCount));
        op.a = below(14) - 3;
        op.b = below(6);
        op.text = text(below(12));
        // Not "wx": glibc keeps the FILE of a failed freopen allocated for good.
        if (op.kind == Op::freopen)
            op.text = kModes[below(std::size(kModes) - 2)];
        script.ops.push_back(op);
    }
    return script;
}

// Runs the script on one side; returns one line per operation with its results.
template <class F>
std::string run(const StdioApi<F> &api, const char *path, const Script &script, int &error_number) {
    std::ostringstream out;
    F *f = api.fopen(path, script.mode);
    out << "fopen " << (f != nullptr);
    if (!f)
        return out.str() + " errno " + std::to_string(error_number);
    bool writing = false;
    for (const Op &op : script.ops) {
        out << "\n";
        if (op.kind < Op::fseek && op.writes() != writing) {
            out << "(turn " << api.fseek(f, 0, SEEK_CUR) << ") ";
            writing = op.writes();
        }
        char buffer[16] = "###############";
        switch (op.kind) {
        case Op::fgetc: out << "fgetc " << api.fgetc(f); break;
        case Op::fgets: {
            char *r = api.fgets(buffer, op.b, f);
            out << "fgets(" << op.b << ") " << (r ? std::string(r) : "NULL");
            break;
        }
        case Op::fread: {
            size_t n = api.fread(buffer, op.b % 3 + 1, op.b, f);
            out << "fread " << n << " " << std::string(buffer, n * (op.b % 3 + 1));
            break;
        }
        case Op::ungetc: { // after reading a byte, as a reader that looks ahead does
            int c = api.fgetc(f);
            out << "fgetc " << c;
            if (c != EOF)
                out << " ungetc " << api.ungetc(op.b ? c : 'U', f);
            break;
        }
        case Op::fputs: out << "fputs " << (api.fputs(op.text.c_str(), f) >= 0); break;
        case Op::fputc: out << "fputc " << api.fputc(op.text.empty() ? 0x141 : op.text[0], f); break;
        case Op::fwrite: out << "fwrite " << api.fwrite(op.text.data(), 1, op.text.size(), f); break;
        case Op::fprintf: out << "fprintf " << api.fprintf(f, "%d<%s>%x", op.a, op.text.c_str(), op.b); break;
        case Op::fflush: out << "fflush " << api.fflush(f); break;
        case Op::fseek: {
            int origin = op.b % 3;
            out << "fseek(" << op.a << ", " << origin << ") " << api.fseek(f, op.a, origin);
            writing = false;
            break;
        }
        case Op::ftell: out << "ftell " << api.ftell(f); break;
        case Op::feof: out << "feof " << (api.feof(f) != 0) << " ferror " << (api.ferror(f) != 0); break;
        case Op::clearerr: api.clearerr(f); out << "clearerr"; break;
        case Op::freopen: {
            F *again = api.freopen(path, op.text.c_str(), f);
            out << "freopen(" << op.text << ") " << (again == f);
            if (!again)
                return out.str();
            writing = false;
            break;
        }
        case Op::kCount: break;
        }
    }
    out << "\nfclose " << api.fclose(f);
    return out.str();
}

using Stream = lmfs_file;

// Named apart from <cstdio>'s functions, which GoogleTest's death tests call.
class StdioTest : public LibraryTest {
protected:
    simhost::MemoryFileStore &store() { return host().files().memory(); }
    int &lm_errno() { return var<int>("lm_errno"); }
    StdioApi<Stream> library() {
        return {fn<Stream *(const char *, const char *)>("fopen"),
                fn<Stream *(const char *, const char *, Stream *)>("freopen"),
                fn<int(Stream *)>("fclose"),
                fn<size_t(void *, size_t, size_t, Stream *)>("fread"),
                fn<size_t(const void *, size_t, size_t, Stream *)>("fwrite"),
                fn<int(Stream *)>("fgetc"),
                fn<int(int, Stream *)>("ungetc"),
                fn<char *(char *, int, Stream *)>("fgets"),
                fn<int(int, Stream *)>("fputc"),
                fn<int(const char *, Stream *)>("fputs"),
                fn<int(Stream *, const char *, ...)>("fprintf"),
                fn<int(Stream *)>("fflush"),
                fn<int(Stream *, long, int)>("fseek"),
                fn<long(Stream *)>("ftell"),
                fn<int(Stream *)>("feof"),
                fn<int(Stream *)>("ferror"),
                fn<void(Stream *)>("clearerr")};
    }
    Stream *open_console_output() {
        Stream *out = fn<Stream *(const char *, const char *)>("fopen")("__lmfs_stdout", "w");
        var<Stream *>("stdout") = out;
        return out;
    }
};

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(StdioTest, RandomSequencesAgreeWithGlibc) {
    const std::string path = testing::TempDir() + "/lbw-stdio-reference";
    const StdioApi<Stream> lib = library();
    std::mt19937_64 rng(20260402);
    for (int i = 0; i < 3000; i++) {
        Script script = random_script(rng);
        std::remove(path.c_str());
        store().clear();
        if (script.exists) {
            std::ofstream(path, std::ios::binary) << script.initial;
            store().put("f", script.initial);
        }
        errno = 0;
        std::string expected = run(kGlibc, path.c_str(), script, errno);
        lm_errno() = 0;
        std::string seen = run(lib, "f", script, lm_errno());
        ASSERT_EQ(seen, expected) << "sequence " << i << ", mode " << script.mode << ", file "
                                  << (script.exists ? "\"" + script.initial + "\"" : "absent");
        ASSERT_EQ(store().contents("f").value_or("(absent)"),
                  std::filesystem::exists(path) ? read_file(path) : "(absent)")
            << "sequence " << i << "\n" << expected;
    }
    std::remove(path.c_str());
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
}

TEST_F(StdioTest, PrintfFormatsAsSnprintfAtAnyLength) {
    auto snprintf_ = fn<int(char *, size_t, const char *, ...)>("snprintf");
    auto fprintf_ = fn<int(Stream *, const char *, ...)>("fprintf");
    auto fclose_ = fn<int(Stream *)>("fclose");
    auto fopen_ = fn<Stream *(const char *, const char *)>("fopen");
    // The stack holds 255 bytes of text; 256 and more are formatted again into the heap.
    for (size_t length : {0, 240, 241, 242, 5000}) {
        std::string arg(length, 'q');
        std::vector<char> expected(length + 64);
        int n = snprintf_(expected.data(), expected.size(), "%s|%d|%f|%e", arg.c_str(), -7, 2.5);
        Stream *out = fopen_("out", "w");
        EXPECT_EQ(fprintf_(out, "%s|%d|%f|%e", arg.c_str(), -7, 2.5), n) << length;
        fclose_(out);
        EXPECT_EQ(store().contents("out"), std::string(expected.data(), static_cast<size_t>(n))) << length;
    }

    Stream *out = fopen_("out", "w");
    host().heap().fail = [](uint64_t size) { return size > 1000; };
    EXPECT_EQ(fprintf_(out, "%s", std::string(2000, 'x').c_str()), -1) << "no memory for the long text";
    EXPECT_EQ(lm_errno(), 12);
    EXPECT_EQ(fn<int(Stream *)>("ferror")(out), 1);
    EXPECT_EQ(fprintf_(out, "%s", "short"), 5) << "short texts need no heap";
    fclose_(out);
}

TEST_F(StdioTest, ConsoleStreamsSendThePendingLineWhenFlushed) {
    Stream *out = open_console_output();
    auto printf_ = fn<int(const char *, ...)>("printf");
    auto fflush_ = fn<int(Stream *)>("fflush");
    auto puts_ = fn<int(const char *)>("puts");
    auto putchar_ = fn<int(int)>("putchar");
    std::vector<std::string> &lines = host().console().lines;

    EXPECT_EQ(printf_("%s> ", "lua"), 5);
    EXPECT_TRUE(lines.empty()) << "a prompt without a line feed waits";
    EXPECT_EQ(fflush_(out), 0);
    EXPECT_EQ(lines, std::vector<std::string>{"lua> "});
    EXPECT_EQ(putchar_('a'), 'a');
    EXPECT_EQ(fflush_(nullptr), 0) << "every stream and the pending line";
    EXPECT_EQ(puts_("line"), 0);
    EXPECT_EQ(lines, (std::vector<std::string>{"lua> ", "a", "line"}));

    Stream *in = fn<Stream *(const char *, const char *)>("fopen")("__lmfs_stdin", "r");
    var<Stream *>("stdin") = in;
    host().console().queued_input = {"typed", "next"};
    char line[8];
    EXPECT_EQ(fn<char *(char *, int, Stream *)>("fgets")(line, sizeof line, in), line);
    EXPECT_STREQ(line, "typed\n");
    EXPECT_EQ(fn<int()>("getchar")(), 'n');
}

TEST_F(StdioTest, ExitFlushesEverythingThenEndsThroughTheHost) {
    auto exit_ = fn<void(int)>("exit");
    auto fopen_ = fn<Stream *(const char *, const char *)>("fopen");
    auto fputs_ = fn<int(const char *, Stream *)>("fputs");
    // The host's entry reports what the host holds when it is asked to end the program.
    EXPECT_EXIT(
        {
            host().console().echo = stderr;
            fputs_("prompt> ", open_console_output());
            fputs_("unflushed", fopen_("kept", "w"));
            host().set_entry(LM_ENTRY_EXIT, +[](int32_t status) {
                auto kept = simhost::Host::instance().files().memory().contents("kept");
                std::fprintf(stderr, "stored %s\n", kept.value_or("nothing").c_str());
                std::_Exit(status);
            });
            exit_(3);
        },
        ::testing::ExitedWithCode(3), "^prompt> \nstored unflushed\n$");
    EXPECT_EXIT(exit_(5), ::testing::ExitedWithCode(5), "") << "the substitute host's own entry";

    // Without the entry the machine stops, as abort does.
    EXPECT_HALTS({
        host().set_entry(LM_ENTRY_EXIT, nullptr);
        exit_(0);
    });
    EXPECT_HALTS({
        host().api().size = LM_ENTRY_EXIT; // the table ends before the entry
        exit_(0);
    });
    EXPECT_HALTS({
        host().set_entry(LM_ENTRY_EXIT, +[](int32_t) {});
        exit_(0);
    }) << "an entry that comes back";
}

TEST_F(StdioTest, NullStreamsGiveTheFailureValue) {
    char buffer[4] = "abc";
    EXPECT_EQ(fn<int(Stream *)>("fclose")(nullptr), EOF);
    EXPECT_EQ(fn<Stream *(const char *, const char *, Stream *)>("freopen")("f", "w", nullptr), nullptr);
    EXPECT_EQ(fn<size_t(void *, size_t, size_t, Stream *)>("fread")(buffer, 1, 1, nullptr), 0u);
    EXPECT_EQ(fn<size_t(const void *, size_t, size_t, Stream *)>("fwrite")(buffer, 1, 1, nullptr), 0u);
    for (const char *name : {"fgetc", "getc"})
        EXPECT_EQ(fn<int(Stream *)>(name)(nullptr), EOF) << name;
    EXPECT_EQ(fn<int()>("getchar")(), EOF) << "without stdin";
    for (const char *name : {"fputc", "putc", "ungetc"})
        EXPECT_EQ(fn<int(int, Stream *)>(name)('x', nullptr), EOF) << name;
    EXPECT_EQ(fn<int(int)>("putchar")('x'), EOF) << "without stdout";
    EXPECT_EQ(fn<char *(char *, int, Stream *)>("fgets")(buffer, 4, nullptr), nullptr);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(fn<int(const char *, Stream *)>("fputs")("x", nullptr), EOF);
    EXPECT_EQ(fn<int(const char *)>("puts")("x"), EOF);
    EXPECT_EQ(fn<int(const char *, ...)>("printf")("x"), -1);
    EXPECT_EQ(fn<int(Stream *, const char *, ...)>("fprintf")(nullptr, "x"), -1);
    EXPECT_EQ(fn<int(Stream *, long, int)>("fseek")(nullptr, 0, SEEK_SET), -1);
    EXPECT_EQ(fn<long(Stream *)>("ftell")(nullptr), -1);
    EXPECT_EQ(fn<int(Stream *)>("feof")(nullptr) + fn<int(Stream *)>("ferror")(nullptr), 0);
    fn<void(Stream *)>("clearerr")(nullptr);
    EXPECT_EQ(fn<int(Stream *, char *, int, size_t)>("setvbuf")(nullptr, nullptr, _IOFBF, 0), -1);
    EXPECT_EQ(fn<Stream *()>("tmpfile")(), nullptr);
    EXPECT_EQ(fn<char *(char *)>("tmpnam")(buffer), nullptr);
}

TEST_F(StdioTest, CallocZeroFillsAndRefusesOverflowingProducts) {
    auto malloc_ = fn<void *(size_t)>("malloc");
    auto calloc_ = fn<void *(size_t, size_t)>("calloc");
    auto free_ = fn<void(void *)>("free");
    void *dirty = malloc_(64);
    std::memset(dirty, 0xAB, 64);
    free_(dirty);
    auto *block = static_cast<unsigned char *>(calloc_(8, 8));
    ASSERT_EQ(block, dirty) << "the dirty block comes back";
    EXPECT_EQ(std::count(block, block + 64, 0), 64);
    free_(block);
    size_t asked = host().heap().malloc_sizes.size();
    EXPECT_EQ(calloc_(SIZE_MAX / 2 + 1, 2), nullptr);
    EXPECT_EQ(calloc_(3, SIZE_MAX / 2), nullptr);
    EXPECT_EQ(host().heap().malloc_sizes.size(), asked) << "an overflowing product never reaches the host";
}

} // namespace
} // namespace lbw::test
