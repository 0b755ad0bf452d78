// Model-based randomized test of the file layer: random sequences of stream and
// whole-file operations over a few names, with the host refusing calls at random, are
// run against the library and against a plain reference model of streams and stored
// files. After every step the results, lm_errno, every open stream's state and content,
// and every stored file must agree.
//
// CI runs a bounded number of seeded sequences. A longer run:
//   LBW_FS_MODEL_SEQUENCES=200000 build/tests/fs/fs_test --gtest_filter='ModelTest.*'
// LBW_FS_MODEL_SEED picks another first seed; sequence i uses seed + i, and a failure
// names the seed and prints the steps of the sequence that differed.
#include "tests/fs/file_test.h"

#include <cstdlib>
#include <map>
#include <optional>
#include <random>
#include <sstream>

namespace lbw::test {
namespace {

// Which host calls fail during one step: the file entries by kind, and allocations
// split into stream records and everything else (buffers, whole-file blocks).
struct Faults {
    bool stat = false, write = false, remove = false, record = false, other_allocation = false;
};

struct ModelStream {
    std::string path;
    std::string content;
    uint64_t position = 0;
    uint64_t capacity = 0;
    int unget = -1;
    bool can_read = false, can_write = false, append = false, dirty = false, eof = false, error = false;
};

// The reference: what the file layer promises, written as plainly as possible.
class Model {
public:
    std::map<std::string, std::string> files;
    int error_number = 0;
    Faults faults;

    bool allocation_fails(uint64_t size) const {
        return size == sizeof(Stream) ? faults.record : faults.other_allocation;
    }

    std::optional<ModelStream> open(const std::string &path, const std::string &mode) {
        auto has = [&](char c) { return mode.find(c) != std::string::npos; };
        ModelStream s;
        s.path = path;
        s.can_read = has('r') || has('+') || has('a');
        s.can_write = has('w') || has('a') || has('+');
        s.append = has('a');
        if (allocation_fails(sizeof(Stream)))
            return fail<std::optional<ModelStream>>(12, std::nullopt);
        std::optional<std::string> stored = stat(path);
        if (!stored && !s.can_write)
            return fail<std::optional<ModelStream>>(2, std::nullopt);
        if (stored && !stored->empty() && !has('w')) {
            if (s.can_write && !reserve(s, stored->size()))
                return std::nullopt;
            s.content = *stored;
        }
        if (s.append)
            s.position = s.content.size();
        return s;
    }

    int flush(ModelStream &s) {
        if (!s.dirty)
            return 0;
        if (faults.write) {
            s.error = true;
            return fail(5, -1);
        }
        files[s.path] = s.content;
        s.dirty = false;
        return 0;
    }

    int getc(ModelStream &s) {
        if (!s.can_read)
            return -1;
        if (s.unget != -1) {
            int c = s.unget;
            s.unget = -1;
            return c;
        }
        if (s.position < s.content.size())
            return static_cast<unsigned char>(s.content[s.position++]);
        s.eof = true;
        return -1;
    }

    uint64_t read(ModelStream &s, uint64_t size, uint64_t count, std::string &bytes) {
        if (size == 0 || count == 0 || !s.can_read)
            return 0;
        for (uint64_t item = 0; item < count; item++)
            for (uint64_t i = 0; i < size; i++) {
                int c = getc(s);
                if (c == -1)
                    return item;
                bytes.push_back(static_cast<char>(c));
            }
        return count;
    }

    uint64_t write(ModelStream &s, const std::string &data, uint64_t size, uint64_t count) {
        if (size == 0 || count == 0 || !s.can_write)
            return 0;
        if (s.append)
            s.position = s.content.size();
        uint64_t end = s.position + data.size();
        if (!reserve(s, end))
            return 0;
        if (s.content.size() < end)
            s.content.resize(end, '\0'); // the gap, if any, is zeros
        s.content.replace(s.position, data.size(), data);
        s.position = end;
        s.dirty = true;
        s.eof = false;
        return count;
    }

    int seek(ModelStream &s, int64_t offset, int origin) {
        int64_t base = origin == 0 ? 0 : origin == 1 ? int64_t(s.position) : int64_t(s.content.size());
        if (origin < 0 || origin > 2 || base + offset < 0) {
            s.error = true;
            return fail(22, -1);
        }
        s.position = uint64_t(base + offset);
        s.eof = s.position >= s.content.size();
        s.unget = -1;
        return 0;
    }

    int unget(ModelStream &s, int byte) {
        if (byte == -1)
            return -1;
        s.unget = byte & 0xFF;
        s.eof = false;
        return byte & 0xFF;
    }

    void clearerr(ModelStream &s) {
        s.eof = s.error = false; // a pushed-back byte stays
    }

    int remove(const std::string &path) {
        if (faults.remove || !files.erase(path))
            return fail(5, -1);
        return 0;
    }

    int rename(const std::string &from, const std::string &to) {
        std::optional<std::string> stored = stat(from);
        if (!stored)
            return fail(2, -1);
        if (from == to)
            return 0;
        if (faults.write)
            return fail(5, -1);
        files[to] = *stored;
        return remove(from);
    }

    bool read_entire(const std::string &path, std::string &bytes) {
        std::optional<std::string> stored = stat(path);
        if (!stored || allocation_fails(stored->empty() ? 1 : stored->size()))
            return false;
        bytes = *stored;
        return true;
    }

    bool write_entire(const std::string &path, const std::string &bytes) {
        if (faults.write)
            return false;
        files[path] = bytes;
        return true;
    }

private:
    template <class T>
    T fail(int code, T result) {
        error_number = code;
        return result;
    }

    std::optional<std::string> stat(const std::string &path) const {
        auto found = files.find(path);
        if (faults.stat || found == files.end())
            return std::nullopt;
        return found->second;
    }

    bool reserve(ModelStream &s, uint64_t needed) {
        if (s.capacity >= needed)
            return true;
        uint64_t capacity = s.capacity ? s.capacity : 256;
        while (capacity < needed)
            capacity *= 2;
        if (allocation_fails(capacity)) {
            s.error = true;
            error_number = 12;
            return false;
        }
        s.capacity = capacity;
        return true;
    }
};

uint64_t environment_number(const char *name, uint64_t fallback) {
    const char *text = std::getenv(name);
    return text && *text ? std::strtoull(text, nullptr, 10) : fallback;
}

class ModelTest : public FileTest {
protected:
    static constexpr int kSlots = 3;
    struct Slot {
        Stream *real = nullptr;
        std::optional<ModelStream> model;
    };

    Model model;
    Slot slots[kSlots];
    std::mt19937_64 rng;
    std::vector<std::string> steps; // the current sequence, for the failure report

    void SetUp() override {
        FileTest::SetUp();
        files().recording = false;
        host().heap().recording = false;
        files().fail = [this](const sim::FileService::Call &call) {
            switch (call.op) {
            case Op::stat: return model.faults.stat;
            case Op::write: return model.faults.write;
            case Op::remove: return model.faults.remove;
            }
            return false;
        };
        host().heap().fail = [this](uint64_t size) { return model.allocation_fails(size); };
    }

    uint64_t below(uint64_t n) { return rng() % n; }
    bool one_in(uint64_t n) { return below(n) == 0; }
    std::string any_name() { return std::string(1, "abc"[below(3)]); }
    std::string random_bytes(uint64_t n) {
        std::string bytes(n, '\0');
        for (char &c : bytes)
            c = static_cast<char>(below(256));
        return bytes;
    }

    // One random step on both sides; returns the first difference, or "".
    std::string step() {
        model.faults = Faults{one_in(12), one_in(12), one_in(12), one_in(15), one_in(12)};
        Slot &slot = slots[below(kSlots)];
        std::ostringstream what;
        std::string diff;
        auto expect = [&](auto real, auto modelled) {
            if (diff.empty() && real != modelled) {
                std::ostringstream out;
                out << "result " << real << ", model " << modelled;
                diff = out.str();
            }
        };

        switch (below(15)) {
        case 0:
        case 1: {
            static const char *const kModes[] = {"r",  "w",   "a", "r+",  "w+", "a+", "rb",
                                                 "wb+", "b", "br+", "+", "xrt", ""};
            std::string name = any_name();
            const char *mode = kModes[below(std::size(kModes))];
            what << (slot.real ? "freopen" : "fopen") << "(" << name << ", " << mode << ")";
            slot.real = slot.real ? freopen(name.c_str(), mode, slot.real) : fopen(name.c_str(), mode);
            if (slot.model)
                model.flush(*slot.model);
            slot.model = model.open(name, mode);
            expect(slot.real != nullptr, slot.model.has_value());
            break;
        }
        case 2:
            what << "fclose";
            expect(fclose(slot.real), slot.model ? model.flush(*slot.model) : 0);
            slot.real = nullptr;
            slot.model.reset();
            break;
        case 3:
            what << "getc";
            expect(getc(slot.real), slot.model ? model.getc(*slot.model) : -1);
            break;
        case 4: {
            uint64_t size = below(5), count = below(40);
            what << "fread(" << size << ", " << count << ")";
            std::string buffer(size * count, '\0'), expected;
            uint64_t got = fread(buffer.data(), size, count, slot.real);
            expect(got, slot.model ? model.read(*slot.model, size, count, expected) : 0);
            expect(buffer.substr(0, expected.size()) == expected, true);
            break;
        }
        case 5:
        case 6: {
            uint64_t size = below(5), count = below(one_in(4) ? 300 : 40);
            std::string data = random_bytes(size * count);
            what << "fwrite(" << size << ", " << count << ")";
            expect(fwrite(data.data(), size, count, slot.real),
                   slot.model ? model.write(*slot.model, data, size, count) : 0);
            break;
        }
        case 7: {
            int origin = static_cast<int>(below(5)) - 1;
            int64_t offset = static_cast<int64_t>(below(700)) - 350;
            what << "fseek(" << offset << ", " << origin << ")";
            if (slot.model)
                expect(fseek(slot.real, offset, origin), model.seek(*slot.model, offset, origin));
            else
                expect(fseek(slot.real, offset, origin), model_null_stream());
            break;
        }
        case 8:
            what << "ftell";
            if (slot.model)
                expect(ftell(slot.real), int64_t(slot.model->position));
            else
                expect(ftell(slot.real), int64_t(model_null_stream()));
            break;
        case 9: {
            int byte = one_in(8) ? -1 : one_in(8) ? 0x1FF : static_cast<int>(below(256));
            what << "ungetc(" << byte << ")";
            expect(ungetc(byte, slot.real), slot.model ? model.unget(*slot.model, byte) : -1);
            break;
        }
        case 10:
            what << "fflush";
            expect(fflush(slot.real), slot.model ? model.flush(*slot.model) : 0);
            break;
        case 11:
            what << "clearerr";
            clearerr(slot.real);
            if (slot.model)
                model.clearerr(*slot.model);
            break;
        case 12: {
            std::string name = any_name();
            what << "remove(" << name << ")";
            expect(remove(name.c_str()), model.remove(name));
            break;
        }
        case 13: {
            std::string from = any_name(), to = any_name();
            what << "rename(" << from << ", " << to << ")";
            expect(rename(from.c_str(), to.c_str()), model.rename(from, to));
            break;
        }
        case 14: {
            std::string name = any_name();
            if (one_in(2)) {
                what << "read_entire_file(" << name << ")";
                uint8_t *data = nullptr;
                uint64_t size = 0;
                std::string expected;
                bool ok = read_entire_file(name.c_str(), &data, &size);
                expect(ok, model.read_entire(name, expected));
                if (ok) {
                    expect(std::string(reinterpret_cast<char *>(data), size) == expected, true);
                    free(data);
                }
            } else {
                std::string bytes = random_bytes(below(600));
                what << "write_entire_file(" << name << ", " << bytes.size() << " bytes)";
                expect(write_entire_file(name.c_str(), bytes.empty() ? nullptr : bytes.data(), bytes.size()),
                       model.write_entire(name, bytes));
            }
            break;
        }
        }
        const Faults &f = model.faults;
        what << " [faults:" << (f.stat ? " stat" : "") << (f.write ? " write" : "") << (f.remove ? " remove" : "")
             << (f.record ? " record" : "") << (f.other_allocation ? " allocation" : "") << "]";
        steps.push_back(what.str());
        if (diff.empty())
            diff = compare_state();
        return diff;
    }

    // fseek and ftell of no stream at all.
    int model_null_stream() {
        model.error_number = 22;
        return -1;
    }

    std::string compare_state() {
        std::ostringstream out;
        if (lm_errno() != model.error_number)
            out << "lm_errno " << lm_errno() << ", model " << model.error_number;
        else if (store().snapshot() != model.files)
            out << "stored files differ from the model";
        for (int i = 0; i < kSlots && out.str().empty(); i++) {
            const Slot &slot = slots[i];
            if (!slot.real || !slot.model) {
                if (slot.real || slot.model)
                    out << "slot " << i << ": open in one side only";
                continue;
            }
            const Stream &r = *slot.real;
            const ModelStream &m = *slot.model;
            if (r.kind != 0 || r.path != m.path || r.can_read != m.can_read || r.can_write != m.can_write ||
                r.append != m.append)
                out << "slot " << i << ": opening state differs";
            else if (r.position != m.position || r.size != m.content.size() || r.capacity != m.capacity)
                out << "slot " << i << ": position/size/capacity " << r.position << "/" << r.size << "/"
                    << r.capacity << ", model " << m.position << "/" << m.content.size() << "/" << m.capacity;
            else if (r.unget_char != m.unget || r.eof != m.eof || r.error != m.error || r.dirty != m.dirty)
                out << "slot " << i << ": unget/eof/error/dirty " << r.unget_char << "/" << r.eof << "/" << r.error
                    << "/" << r.dirty << ", model " << m.unget << "/" << m.eof << "/" << m.error << "/" << m.dirty;
            else if (content(&r) != m.content)
                out << "slot " << i << ": content differs";
        }
        return out.str();
    }

    // Runs one sequence; closes everything at its end. Returns the first difference.
    std::string run_sequence(uint64_t seed) {
        rng.seed(seed);
        steps.clear();
        model = Model{};
        store().clear();
        lm_errno() = 0;
        uint64_t length = 1 + below(60);
        for (uint64_t i = 0; i < length; i++)
            if (std::string diff = step(); !diff.empty())
                return diff;
        model.faults = Faults{};
        for (Slot &slot : slots) {
            steps.push_back("fclose at the end");
            int real = fclose(slot.real);
            int expected = slot.model ? model.flush(*slot.model) : 0;
            slot = Slot{};
            if (real != expected)
                return "closing at the end differs";
        }
        if (std::string diff = compare_state(); !diff.empty())
            return diff;
        if (host().heap().bytes_in_use() != 0)
            return "host heap memory left in use after every stream was closed";
        return "";
    }
};

TEST_F(ModelTest, RandomSequencesAgreeWithTheModel) {
    const uint64_t first_seed = environment_number("LBW_FS_MODEL_SEED", 20261206);
    const uint64_t sequences = environment_number("LBW_FS_MODEL_SEQUENCES", 10000);
    uint64_t steps_run = 0;
    for (uint64_t i = 0; i < sequences; i++) {
        std::string diff = run_sequence(first_seed + i);
        steps_run += steps.size();
        if (!diff.empty()) {
            std::ostringstream report;
            report << "seed " << first_seed + i << " (LBW_FS_MODEL_SEED=" << first_seed + i
                   << " LBW_FS_MODEL_SEQUENCES=1), step " << steps.size() << ": " << diff << "\nsteps:";
            for (const std::string &s : steps)
                report << "\n  " << s;
            FAIL() << report.str();
        }
    }
    RecordProperty("steps", std::to_string(steps_run));
    std::printf("%llu sequences, %llu steps agreed with the model\n", static_cast<unsigned long long>(sequences),
                static_cast<unsigned long long>(steps_run));
}

} // namespace
} // namespace lbw::test
