// The file layer against a model: random sequences of stream and whole-file operations
// over a few names (one as long as a stored path can be, one longer, and null), with
// null buffers and modes, and the host refusing calls or lacking its file entries at
// random, run against the library and against a plain model of streams and stored files. After every step the results, lm_errno, the host calls
// made, every open stream's state and content and every stored file must agree.
//
// CI runs a bounded number of seeded sequences. A longer run:
//   LBW_FS_MODEL_SEQUENCES=200000 build/tests/fs/fs_test --gtest_filter='ModelTest.*'
// LBW_FS_MODEL_SEED picks another first seed; sequence i uses seed + i, and a failure
// names the seed and prints the steps of the sequence that differed.
#include "tests/fs/file_test.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <sstream>

namespace lbw::test {
namespace {

// Which host calls fail during one step: the file entries by kind, and allocations
// split into stream records and everything else (buffers, whole-file blocks); or the
// three file entries are absent from the table.
struct Faults {
    bool stat = false, write = false, remove = false, record = false, other_allocation = false, absent = false;
};

const std::string kNull = "(null)"; // the name that stands for a null path
const uint32_t kFileEntries[] = {LM_ENTRY_STAT_FILE, LM_ENTRY_WRITE_FILE, LM_ENTRY_DELETE_FILE};

// A stream as the model keeps it, and as the library's record is read back.
struct ModelStream {
    std::string path, content;
    uint64_t position = 0, capacity = 0;
    int unget = -1;
    bool can_read = false, can_write = false, append = false, dirty = false, eof = false, error = false;
    bool operator==(const ModelStream &) const = default;
};

std::ostream &operator<<(std::ostream &out, const ModelStream &s) {
    return out << "{" << s.path.substr(0, 8) << " rwa " << s.can_read << s.can_write << s.append << " position "
               << s.position << " size " << s.content.size() << " capacity " << s.capacity << " unget " << s.unget
               << " dirty/eof/error " << s.dirty << s.eof << s.error << " content #"
               << std::hash<std::string>{}(s.content) % 100000 << "}";
}

// What the file layer promises, written as plainly as possible.
class Model {
public:
    std::map<std::string, std::string> files;
    int error_number = 0;
    uint64_t host_calls[3] = {}; // stat, write, remove, refused or not
    Faults faults;

    // Whether the host call of this kind (0 stat, 1 write, 2 remove) fails; counts it.
    bool host_fails(int kind) {
        if (faults.absent)
            return true;
        host_calls[kind]++;
        return kind == 0 ? faults.stat : kind == 1 ? faults.write : faults.remove;
    }

    bool allocation_fails(uint64_t size) const {
        return size == sizeof(Stream) ? faults.record : faults.other_allocation;
    }

    std::optional<ModelStream> open(const std::string &path, const char *mode) {
        if (path == kNull || !mode)
            return fail(22, std::nullopt);
        auto has = [&](char c) { return std::strchr(mode, c) != nullptr; };
        ModelStream s{.path = path.substr(0, 240)};
        s.can_read = has('r') || has('+') || has('a');
        s.can_write = has('w') || has('a') || has('+');
        s.append = has('a');
        if (s.can_write && path.size() > 240) // it would be written back under another name
            return fail(22, std::nullopt);
        if (allocation_fails(sizeof(Stream)))
            return fail(12, std::nullopt);
        std::optional<std::string> stored = stat(path);
        if (!stored && !s.can_write)
            return fail(2, std::nullopt);
        if (stored && !stored->empty() && !has('w')) {
            if (s.can_write && !reserve(s, stored->size()))
                return std::nullopt;
            s.content = *stored;
        }
        s.position = s.append ? s.content.size() : 0;
        return s;
    }

    int flush(ModelStream &s) {
        if (!s.dirty)
            return 0;
        if (host_fails(1))
            return s.error = true, fail(5, -1);
        files[s.path] = s.content;
        s.dirty = false;
        return 0;
    }

    int getc(ModelStream &s) {
        if (!s.can_read)
            return -1;
        if (s.unget != -1)
            return std::exchange(s.unget, -1);
        if (s.position < s.content.size())
            return static_cast<unsigned char>(s.content[s.position++]);
        s.eof = true;
        return -1;
    }

    uint64_t read(ModelStream &s, uint64_t size, uint64_t count, std::string &bytes) {
        for (uint64_t item = 0; item < count && size && s.can_read; item++)
            for (uint64_t i = 0; i < size; i++) {
                int c = getc(s);
                if (c == -1)
                    return item;
                bytes.push_back(static_cast<char>(c));
            }
        return size && s.can_read ? count : 0;
    }

    uint64_t write(ModelStream &s, const std::string &data, uint64_t count) {
        if (data.empty() || !s.can_write)
            return 0;
        if (s.append)
            s.position = s.content.size(); // even when the write then fails
        uint64_t end = s.position + data.size();
        if (!reserve(s, end))
            return 0;
        s.content.resize(std::max<uint64_t>(s.content.size(), end), '\0'); // a gap is zeros
        s.content.replace(s.position, data.size(), data);
        s.position = end;
        s.dirty = true;
        s.eof = false;
        return count;
    }

    int seek(ModelStream &s, int64_t offset, int origin) {
        int64_t base = origin == 0 ? 0 : origin == 1 ? int64_t(s.position) : int64_t(s.content.size());
        if (origin < 0 || origin > 2 || base + offset < 0)
            return s.error = true, fail(22, -1);
        s.position = uint64_t(base + offset);
        s.eof = s.position >= s.content.size();
        s.unget = -1;
        return 0;
    }

    int unget(ModelStream &s, int byte) {
        if (byte == -1)
            return -1;
        s.eof = false;
        return s.unget = byte & 0xFF;
    }

    int remove(const std::string &path) {
        if (path == kNull)
            return fail(22, -1);
        if (host_fails(2) || !files.erase(path))
            return fail(5, -1);
        return 0;
    }

    int rename(const std::string &from, const std::string &to) {
        if (from == kNull || to == kNull)
            return fail(22, -1);
        std::optional<std::string> stored = stat(from);
        if (!stored)
            return fail(2, -1);
        if (from == to)
            return 0;
        if (host_fails(1))
            return fail(5, -1);
        files[to] = *stored;
        return remove(from);
    }

    // Null arguments are refused without a word in lm_errno.
    std::optional<std::string> read_entire(const std::string &path, bool null_output) {
        if (path == kNull || null_output)
            return std::nullopt;
        std::optional<std::string> stored = stat(path);
        return stored && !allocation_fails(std::max<uint64_t>(stored->size(), 1)) ? stored : std::nullopt;
    }

    bool write_entire(const std::string &path, const std::string &bytes, bool null_data) {
        if (path == kNull || null_data || host_fails(1))
            return false;
        files[path] = bytes;
        return true;
    }

    template <class T>
    T fail(int code, T result) {
        error_number = code;
        return result;
    }

private:
    std::optional<std::string> stat(const std::string &path) {
        auto found = files.find(path);
        return host_fails(0) || found == files.end() ? std::nullopt : std::optional(found->second);
    }

    bool reserve(ModelStream &s, uint64_t needed) {
        uint64_t capacity = s.capacity ? s.capacity : 256;
        while (capacity < needed)
            capacity *= 2;
        if (s.capacity >= needed)
            return true;
        if (allocation_fails(capacity))
            return s.error = true, fail(12, false);
        s.capacity = capacity;
        return true;
    }
};

class ModelTest : public FileTest {
protected:
    struct Slot {
        Stream *real = nullptr;
        std::optional<ModelStream> model;
    };

    Model model;
    uint64_t host_calls_seen[3] = {};
    Slot slots[3];
    uint32_t file_entries[3] = {}; // the host's, put back when a step had them absent
    std::mt19937_64 rng;
    std::vector<std::string> steps; // the current sequence, for the failure report

    void SetUp() override {
        FileTest::SetUp();
        files().recording = false;
        host().heap().recording = false;
        files().fail = [this](const simhost::FileService::Call &call) {
            host_calls_seen[static_cast<int>(call.op)]++;
            const Faults &f = model.faults;
            return call.op == Op::stat ? f.stat : call.op == Op::write ? f.write : f.remove;
        };
        host().heap().fail = [this](uint64_t size) { return model.allocation_fails(size); };
        for (int i = 0; i < 3; i++)
            file_entries[i] = host().entry_word(kFileEntries[i]);
    }

    void set_faults(const Faults &faults) {
        model.faults = faults;
        for (int i = 0; i < 3; i++)
            host().entry_word(kFileEntries[i]) = faults.absent ? 0 : file_entries[i];
    }

    uint64_t below(uint64_t n) { return rng() % n; }
    bool one_in(uint64_t n) { return below(n) == 0; }
    std::string any_name() {
        static const std::string kNames[] = {"a", "b", "c", "a", "b", "c", std::string(240, 'q'), std::string(241, 'p'),
                                             kNull};
        return kNames[below(std::size(kNames))];
    }
    std::string random_bytes(uint64_t n) {
        std::string bytes(n, '\0');
        for (char &c : bytes)
            c = static_cast<char>(below(256));
        return bytes;
    }

    static const char *path(const std::string &name) { return name == kNull ? nullptr : name.c_str(); }

    // One random step on both sides; returns the first difference, or "".
    std::string step() {
        set_faults(Faults{one_in(12), one_in(12), one_in(12), one_in(15), one_in(12), one_in(25)});
        const Faults &f = model.faults;
        Slot &slot = slots[below(3)];
        ModelStream *m = slot.model ? &*slot.model : nullptr;
        std::ostringstream what, diff;
        auto expect = [&](auto real, auto modelled) {
            if (diff.str().empty() && real != modelled)
                diff << "result " << real << ", model " << modelled;
        };
        std::string name = any_name(), other = any_name();
        switch (below(15)) {
        case 0:
        case 1: {
            static const char *const kModes[] = {"r", "w", "a", "r+", "w+", "a+", "rb", "wb+", "b", "br+", "+", "xrt", "",
                                                 nullptr};
            const char *mode = kModes[below(std::size(kModes))];
            bool reopen = slot.real || one_in(2); // freopen of no stream only opens
            what << (reopen ? "freopen(" : "fopen(") << name.substr(0, 8) << ", " << (mode ? mode : "null") << ")";
            slot.real = reopen ? freopen(path(name), mode, slot.real) : fopen(path(name), mode);
            if (m)
                model.flush(*m);
            slot.model = model.open(name, mode);
            expect(slot.real != nullptr, slot.model.has_value());
            break;
        }
        case 2:
            what << "fclose";
            expect(fclose(slot.real), m ? model.flush(*m) : 0);
            slot = Slot{};
            break;
        case 3:
            what << "getc";
            expect(getc(slot.real), m ? model.getc(*m) : -1);
            break;
        case 4: {
            uint64_t size = below(5), count = below(40);
            bool null_buffer = one_in(10);
            what << "fread(" << size << ", " << count << (null_buffer ? ", null buffer)" : ")");
            std::string buffer(size * count, '\0'), expected;
            expect(fread(null_buffer ? nullptr : buffer.data(), size, count, slot.real),
                   m && !null_buffer ? model.read(*m, size, count, expected) : 0);
            expect(buffer.substr(0, expected.size()) == expected, true); // partial items too
            break;
        }
        case 5:
        case 6: {
            uint64_t size = below(5), count = below(one_in(4) ? 300 : 40);
            std::string data = random_bytes(size * count);
            bool null_data = one_in(10);
            what << "fwrite(" << size << ", " << count << (null_data ? ", null data)" : ")");
            expect(fwrite(null_data ? nullptr : data.data(), size, count, slot.real),
                   m && !null_data ? model.write(*m, data, count) : 0);
            break;
        }
        case 7: {
            int origin = static_cast<int>(below(5)) - 1;
            int64_t offset = static_cast<int64_t>(below(700)) - 350;
            what << "fseek(" << offset << ", " << origin << ")";
            expect(fseek(slot.real, offset, origin), m ? model.seek(*m, offset, origin) : model.fail(22, -1));
            break;
        }
        case 8:
            what << "ftell";
            expect(ftell(slot.real), m ? int64_t(m->position) : model.fail(22, int64_t{-1}));
            break;
        case 9: {
            int byte = one_in(8) ? -1 : one_in(8) ? 0x1FF : static_cast<int>(below(256));
            what << "ungetc(" << byte << ")";
            expect(ungetc(byte, slot.real), m ? model.unget(*m, byte) : -1);
            break;
        }
        case 10:
            what << "fflush";
            expect(fflush(slot.real), m ? model.flush(*m) : 0);
            break;
        case 11:
            what << "clearerr";
            clearerr(slot.real);
            if (m)
                m->eof = m->error = false; // a pushed-back byte stays
            break;
        case 12:
            what << "remove(" << name.substr(0, 8) << ")";
            expect(remove(path(name)), model.remove(name));
            break;
        case 13:
            what << "rename(" << name.substr(0, 8) << ", " << other.substr(0, 8) << ")";
            expect(rename(path(name), path(other)), model.rename(name, other));
            break;
        case 14:
            if (one_in(2)) {
                const int null_output = static_cast<int>(below(12)); // 1: no data pointer, 2: no size
                what << "read_entire_file(" << name.substr(0, 8) << ", null output " << null_output << ")";
                uint8_t untouched = 0, *data = &untouched;
                uint64_t size = 77;
                host().heap().recording = true;
                host().heap().malloc_sizes.clear();
                bool ok = read_entire_file(path(name), null_output == 1 ? nullptr : &data,
                                           null_output == 2 ? nullptr : &size);
                host().heap().recording = false;
                std::optional<std::string> expected = model.read_entire(name, null_output == 1 || null_output == 2);
                expect(ok, expected.has_value());
                expect(ok || (data == &untouched && size == 77), true); // outputs written on success only
                if (ok && expected) {
                    expect(std::string(reinterpret_cast<char *>(data), size), *expected);
                    expect(host().heap().malloc_sizes.back(), std::max<uint64_t>(size, 1)); // no terminator
                    free(data);
                }
            } else {
                std::string bytes = random_bytes(below(600));
                const bool null_data = !bytes.empty() && one_in(10);
                what << "write_entire_file(" << name.substr(0, 8) << ", " << bytes.size() << " bytes)";
                expect(write_entire_file(path(name), bytes.empty() || null_data ? nullptr : bytes.data(), bytes.size()),
                       model.write_entire(name, bytes, null_data));
            }
            break;
        }
        what << " [faults:" << (f.stat ? " stat" : "") << (f.write ? " write" : "") << (f.remove ? " remove" : "")
             << (f.record ? " record" : "") << (f.other_allocation ? " allocation" : "")
             << (f.absent ? " absent" : "") << "]";
        steps.push_back(what.str());
        return diff.str().empty() ? compare_state() : diff.str();
    }

    std::string compare_state() {
        std::ostringstream out;
        if (lm_errno() != model.error_number)
            out << "lm_errno " << lm_errno() << ", model " << model.error_number;
        else if (store().snapshot() != model.files)
            out << "stored files differ from the model";
        else if (!std::equal(host_calls_seen, host_calls_seen + 3, model.host_calls))
            out << "host calls (stat, write, remove) " << host_calls_seen[0] << " " << host_calls_seen[1] << " "
                << host_calls_seen[2] << ", model " << model.host_calls[0] << " " << model.host_calls[1] << " "
                << model.host_calls[2];
        for (int i = 0; i < 3 && out.str().empty(); i++) {
            Stream *r = slots[i].real;
            if (!r || !slots[i].model) {
                if (r || slots[i].model)
                    out << "slot " << i << ": open in one side only";
                continue;
            }
            // A read-only stream reads the host's bytes in place: it owns no buffer.
            ModelStream seen{r->path,     content(r),   r->position, r->buffer ? r->capacity : 0,
                             r->unget_char, r->can_read, r->can_write, r->append,
                             r->dirty,    feof(r) == 1, ferror(r) == 1};
            if (seen != *slots[i].model || r->kind != 0 || (r->capacity && !r->buffer))
                out << "slot " << i << ": " << seen << ", model " << *slots[i].model;
        }
        return out.str();
    }

    // Runs one sequence; closes everything at its end. Returns the first difference.
    std::string run_sequence(uint64_t seed) {
        rng.seed(seed);
        steps.clear();
        model = Model{};
        std::fill(host_calls_seen, host_calls_seen + 3, 0);
        store().clear();
        lm_errno() = 0;
        for (uint64_t i = 0, length = 1 + below(60); i < length; i++)
            if (std::string diff = step(); !diff.empty())
                return diff;
        set_faults(Faults{});
        for (Slot &slot : slots) {
            steps.push_back("fclose at the end");
            if (fclose(slot.real) != (slot.model ? model.flush(*slot.model) : 0))
                return "closing at the end differs";
            slot = Slot{};
        }
        if (std::string diff = compare_state(); !diff.empty())
            return diff;
        return host().heap().bytes_in_use() ? "host heap memory left in use after every stream was closed" : "";
    }
};

TEST_F(ModelTest, RandomSequencesAgreeWithTheModel) {
    auto setting = [](const char *name, uint64_t fallback) {
        const char *text = std::getenv(name);
        return text && *text ? std::strtoull(text, nullptr, 10) : fallback;
    };
    const uint64_t first = setting("LBW_FS_MODEL_SEED", 20261206), sequences = setting("LBW_FS_MODEL_SEQUENCES", 10000);
    for (uint64_t seed = first; seed < first + sequences; seed++)
        if (std::string diff = run_sequence(seed); !diff.empty()) {
            std::ostringstream report;
            report << "LBW_FS_MODEL_SEED=" << seed << " LBW_FS_MODEL_SEQUENCES=1, step " << steps.size() << ": "
                   << diff << "\nsteps:";
            for (const std::string &s : steps)
                report << "\n  " << s;
            FAIL() << report.str();
        }
}

} // namespace
} // namespace lbw::test
