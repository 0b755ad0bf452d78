// lm::string and lm::vector through the core test module: random operations against
// std::string and std::vector with the documented capacity rules, with the null, self
// and moving cases and the allocations the substitute host's heap sees.
#include "tests/core/core_entries.h"
#include "tests/support/library_test.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <random>
#include <string>
#include <vector>

namespace lbw::test {
namespace {

using U64s = std::vector<uint64_t>;
using Pointers = std::vector<void *>;
constexpr uint64_t kNpos = lm::npos;

static_assert(sizeof(lm::string) == 24 && sizeof(Bytes) == 24 && sizeof(Strings) == 24);

std::string contents(const lm::string &s) { return std::string(s.data ? s.data : "", s.size); }

class CoreTest : public LibraryTest {
protected:
    CoreEntries core{};

    void SetUp() override {
        LibraryTest::SetUp();
        void *module = lib().load_program(LBW_PROGRAM_CORE_TEST_MODULE);
        auto entries = simhost::LoadedLibrary::program_symbol(module, "lbwt_core_entries");
        reinterpret_cast<void (*)(CoreEntries *)>(entries)(&core);
    }
    // Every container is destroyed before the check that nothing leaked.
    void TearDown() override {
        for (Slot &slot : slots_)
            slot.kind == 0 ? core.string_destroy(reinterpret_cast<lm::string *>(slot.bytes))
            : slot.kind == 1 ? core.bytes_destroy(reinterpret_cast<Bytes *>(slot.bytes))
                             : core.strings_destroy(reinterpret_cast<Strings *>(slot.bytes));
        EXPECT_EQ(heap().bytes_in_use(), 0u) << "everything is freed";
        LibraryTest::TearDown();
    }
    // All-zero fields are an empty container.
    lm::string &zero_string() { return *reinterpret_cast<lm::string *>(slots_.emplace_back(Slot{0}).bytes); }
    Bytes &zero_bytes() { return *reinterpret_cast<Bytes *>(slots_.emplace_back(Slot{1}).bytes); }
    Strings &zero_strings() { return *reinterpret_cast<Strings *>(slots_.emplace_back(Slot{2}).bytes); }
    lm::string &str(const char *text) {
        lm::string &s = zero_string();
        core.string_from_text(&s, text);
        return s;
    }
    simhost::HostHeap &heap() { return host().heap(); }
    void clear_recordings() { heap().malloc_sizes.clear(), heap().freed.clear(); }
    Pointers freed_blocks() { // operator delete passes null on to free too
        Pointers blocks;
        std::copy_if(heap().freed.begin(), heap().freed.end(), std::back_inserter(blocks), [](void *p) { return p; });
        return blocks;
    }

private:
    struct Slot {
        int kind;
        alignas(8) unsigned char bytes[24] = {};
    };
    std::deque<Slot> slots_;
};

// Growth is exact, push_back doubles from 16, a source inside the string's own bytes
// (its terminator included) gives a fresh buffer of exactly the new size, null texts
// read as empty, and a move leaves all-zero fields behind.
TEST_F(CoreTest, StringOperationsFollowTheModel) {
    std::mt19937 random(3);
    for (int round = 0; round < 300; round++) {
        lm::string *s = &zero_string();
        std::string model;
        uint64_t capacity = 0;
        for (int step = 0; step < 20; step++) {
            std::string text(random() % 12, 'a');
            for (char &c : text)
                c = "abc"[random() % 3];
            const bool own = s->data && random() % 2, null = !own && random() % 8 == 0;
            const uint64_t k = random() % (model.size() + 1), n = own ? random() % 15 : random() % (text.size() + 1);
            const char *external = null ? nullptr : text.c_str(), *source = own ? s->data + k : external;
            const std::string bytes = own ? model.substr(k, n) : null ? "" : text.substr(0, n);
            const uint64_t from = random() % (model.size() + 3), length = random() % 2 ? kNpos : n;
            const int operation = static_cast<int>(random() % 12);
            SCOPED_TRACE(testing::Message() << '"' << model << "\" operation " << operation << (own ? " own" : "")
                                            << (null ? " null" : "") << " at " << k << " n " << n << " " << text);
            lm::string &other = zero_string();
            switch (operation) {
            case 0:
                core.string_assign(s, source, n);
                model = bytes, capacity = own ? bytes.size() : std::max<uint64_t>(capacity, bytes.size());
                break;
            case 1: core.string_append(s, source, n), model += bytes; break;
            case 2:
                core.string_push_back(s, text[0]);
                capacity = model.size() < capacity ? capacity : model.empty() ? 16 : 2 * model.size();
                model += text[0];
                break;
            case 3: core.string_reserve(s, n), capacity = std::max(capacity, n); break;
            case 4: core.string_set_text(s, external), model = null ? "" : text; break;
            case 5: core.string_append_string(s, s), model += model; break;
            case 6:
                core.string_substr(&other, s, from, length);
                ASSERT_EQ(contents(other), from > model.size() ? "" : model.substr(from, length));
                ASSERT_EQ(other.capacity, other.size);
                break;
            case 7: ASSERT_EQ(core.string_find(s, text[0], from), model.find(text[0], from)); break;
            case 8:
                ASSERT_EQ(core.string_equals(s, external), model == (null ? "" : text));
                ASSERT_EQ(core.string_differs(s, external), model != (null ? "" : text));
                break;
            case 9:
                core.string_copy(&other, s);
                ASSERT_EQ(contents(other), model);
                ASSERT_TRUE(other.data && other.capacity == model.size());
                break;
            case 10:
                core.string_move(&other, s);
                ASSERT_TRUE(!s->data && !s->size && !s->capacity);
                s = &other;
                break;
            default: { // a new string, carried on with
                const bool counted = random() % 2;
                const uint64_t m = std::min<uint64_t>(n, text.size());
                counted ? core.string_from_text_n(&other, external, m) : core.string_from_text(&other, external);
                model = null ? "" : counted ? text.substr(0, m) : text;
                ASSERT_TRUE(other.data && other.capacity == model.size());
                s = &other, capacity = model.size();
            }
            }
            capacity = std::max<uint64_t>(capacity, model.size());
            ASSERT_EQ(contents(*s), model);
            ASSERT_EQ(s->capacity, capacity);
            ASSERT_TRUE(!s->data || s->data[s->size] == 0) << "terminated at size";
        }
    }
}

// reserve, resize and assign(n, value) grow exactly; insert and assign(first, last)
// double from 4; a range inside the vector is copied first; a position outside the
// vector counts as its end.
TEST_F(CoreTest, ByteVectorOperationsFollowTheModel) {
    std::mt19937 random(4);
    for (int round = 0; round < 300; round++) {
        Bytes &v = zero_bytes();
        std::vector<Byte> model;
        uint64_t capacity = 0;
        for (int step = 0; step < 20; step++) {
            Byte outside[12];
            for (Byte &b : outside)
                b = static_cast<Byte>(random());
            const uint64_t n = random() % 40, count = random() % 13;
            const Byte value = static_cast<Byte>(random());
            const int operation = static_cast<int>(random() % 6);
            SCOPED_TRACE(testing::Message() << "size " << model.size() << " operation " << operation << " n " << n);
            if (operation == 0) {
                core.bytes_reserve(&v, n);
            } else if (operation == 1 || operation == 2) {
                operation == 1 ? core.bytes_resize(&v, n) : core.bytes_resize_value(&v, n, value);
                model.resize(n, operation == 1 ? 0 : value);
            } else if (operation == 3) {
                core.bytes_assign_value(&v, n, value);
                model.assign(n, value);
            } else if (operation == 4) {
                core.bytes_assign_range(&v, outside, outside + count);
                model.assign(outside, outside + count);
            } else {
                const bool own = v.data && random() % 2;
                const uint64_t a = random() % (model.size() + 1), b = a + random() % (model.size() - a + 1);
                const Byte *first = own ? v.data + a : outside, *last = own ? v.data + b : outside + count;
                const std::vector<Byte> range(first, last);
                const uint64_t at = random() % (model.size() + 2); // past the end: outside the vector
                Byte *position = at <= model.size() && v.data ? v.data + at : outside;
                const uint64_t index = position == outside ? model.size() : at;
                Byte *inserted = core.bytes_insert(&v, position, first, last);
                ASSERT_EQ(inserted, v.data ? v.data + index : nullptr);
                model.insert(model.begin() + static_cast<long>(index), range.begin(), range.end());
            }
            if (operation == 4 || operation == 5) {
                uint64_t grown = capacity ? capacity : 4;
                while (grown < model.size())
                    grown *= 2;
                capacity = model.size() > capacity ? grown : capacity;
            } else {
                capacity = std::max(capacity, operation == 0 ? n : model.size());
            }
            ASSERT_EQ(std::vector<Byte>(v.data, v.data + v.size), model);
            ASSERT_EQ(v.capacity, capacity);
        }
    }
    EXPECT_EQ(core.bytes_allocate(0), nullptr);
    EXPECT_EQ(core.strings_allocate(0), nullptr);
}

// Growth doubles from 4 (reserve is exact) and takes each string's buffer along; an
// added element is a copy with a buffer of its own, even of one of the vector's own
// elements; pop_back and clear free from the back, clear keeping the storage, and
// destruction frees the storage last.
TEST_F(CoreTest, StringVectorOperationsFollowTheModel) {
    std::mt19937 random(5);
    for (int round = 0; round < 100; round++) {
        Strings &v = zero_strings();
        std::vector<std::string> model;
        Pointers buffers; // each element's buffer, which no growth changes
        uint64_t capacity = 0;
        for (int step = 0; step < 24; step++) {
            const int operation = static_cast<int>(random() % 5);
            SCOPED_TRACE(testing::Message() << "size " << model.size() << " operation " << operation);
            lm::string *storage = v.data;
            if (operation <= 1) { // emplace_back of a new string, or of one of its own
                const bool own = operation == 1 && !model.empty();
                lm::string *source = own ? &v.data[random() % model.size()] : &str(std::to_string(random()).c_str());
                const std::string text = contents(*source);
                const char *source_buffer = source->data;
                const bool grows = model.size() == capacity;
                clear_recordings();
                ASSERT_EQ(core.strings_emplace_back(&v, source), v.data + model.size());
                ASSERT_NE(v.data[model.size()].data, source_buffer) << "a copy";
                if (grows) {
                    capacity = capacity ? 2 * capacity : 4;
                    ASSERT_EQ(heap().malloc_sizes, (U64s{capacity * sizeof(lm::string), text.size() + 1}));
                    ASSERT_EQ(freed_blocks(), storage ? Pointers{storage} : Pointers{});
                }
                model.push_back(text), buffers.push_back(v.data[model.size() - 1].data);
            } else if (operation <= 3) { // pop_back, or clear
                const size_t removed = std::min<size_t>(operation == 2 ? 1 : model.size(), model.size());
                clear_recordings();
                operation == 2 ? core.strings_pop_back(&v) : core.strings_clear(&v);
                ASSERT_EQ(freed_blocks(), Pointers(buffers.rbegin(), buffers.rbegin() + long(removed)));
                ASSERT_EQ(v.data, storage);
                model.resize(model.size() - removed), buffers.resize(model.size());
            } else {
                const uint64_t n = random() % 40;
                core.strings_reserve(&v, n);
                capacity = std::max(capacity, n);
            }
            ASSERT_EQ(v.capacity, capacity);
            ASSERT_EQ(v.size, model.size());
            for (size_t i = 0; i < model.size(); i++)
                ASSERT_EQ(std::pair(contents(v.data[i]), static_cast<void *>(v.data[i].data)),
                          std::pair(model[i], buffers[i]));
        }
        Pointers expected(buffers.rbegin(), buffers.rend());
        if (v.data)
            expected.push_back(v.data);
        clear_recordings();
        core.strings_destroy(&v);
        ASSERT_EQ(freed_blocks(), expected);
        std::memset(static_cast<void *>(&v), 0, sizeof v); // destroyed already
    }
}

// A buffer for n characters is n + 1 bytes; sizes whose terminator or byte count wraps
// would hand out a small block for a huge capacity, and stop the machine instead, as
// exhausting the host heap does.
TEST_F(CoreTest, AllocationSizes) {
    char *block = core.string_allocate(7);
    EXPECT_EQ(block[0], '\0');
    EXPECT_EQ(heap().malloc_sizes, U64s{8});
    heap().release(block);
    EXPECT_HALTS(core.string_allocate(kNpos));
    EXPECT_HALTS(core.string_reserve(&str("abc"), kNpos));
    EXPECT_HALTS(core.string_append(&str("abc"), "xyz", kNpos - 1));
    EXPECT_HALTS(core.strings_allocate(~uint64_t{0} / 8));
    EXPECT_HALTS(core.bytes_resize(&zero_bytes(), uint64_t{1} << 40));
}

} // namespace
} // namespace lbw::test
