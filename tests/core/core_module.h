// The freestanding core test module, loaded beside the library: mirrors of the container
// layouts and the module's entry points.
#pragma once

#include "tests/support/library_test.h"

#include <cstdint>
#include <deque>
#include <string>
#include <type_traits>
#include <vector>

namespace lbw::test {

struct String {
    char *data;
    uint64_t size;
    uint64_t capacity;
};
struct Bytes {
    unsigned char *data;
    uint64_t size;
    uint64_t capacity;
};
struct Strings {
    String *data;
    uint64_t size;
    uint64_t capacity;
};

#define LBWT_CORE_ENTRIES(X)                                                                    \
    X(lbwt_string_from_text, void(String *, const char *))                                      \
    X(lbwt_string_from_text_n, void(String *, const char *, uint64_t))                          \
    X(lbwt_string_copy, void(String *, const String *))                                         \
    X(lbwt_string_move, void(String *, String *))                                               \
    X(lbwt_string_destroy, void(String *))                                                      \
    X(lbwt_string_set_text, String *(String *, const char *))                                   \
    X(lbwt_string_assign, void(String *, const char *, uint64_t))                               \
    X(lbwt_string_append, String *(String *, const char *, uint64_t))                           \
    X(lbwt_string_append_string, String *(String *, const String *))                            \
    X(lbwt_string_push_back, void(String *, char))                                              \
    X(lbwt_string_reserve, void(String *, uint64_t))                                            \
    X(lbwt_string_find, uint64_t(const String *, char, uint64_t))                               \
    X(lbwt_string_substr, void(String *, const String *, uint64_t, uint64_t))                   \
    X(lbwt_string_pointer_offset, bool(const String *, const char *, uint64_t *))               \
    X(lbwt_string_ensure_storage, void(String *))                                               \
    X(lbwt_string_allocate, char *(uint64_t))                                                   \
    X(lbwt_string_equals, bool(const String *, const char *))                                   \
    X(lbwt_string_differs, bool(const String *, const char *))                                  \
    X(lbwt_string_npos, uint64_t())                                                             \
    X(lbwt_string_length, uint64_t(const char *))                                               \
    X(lbwt_view_equals, bool(const char *, uint64_t, const char *, uint64_t))                   \
    X(lbwt_view_find, uint64_t(const char *, uint64_t, char, uint64_t))                         \
    X(lbwt_bytes_destroy, void(Bytes *))                                                        \
    X(lbwt_bytes_reserve, void(Bytes *, uint64_t))                                              \
    X(lbwt_bytes_resize, void(Bytes *, uint64_t))                                               \
    X(lbwt_bytes_resize_value, void(Bytes *, uint64_t, unsigned char))                          \
    X(lbwt_bytes_assign_value, void(Bytes *, uint64_t, unsigned char))                          \
    X(lbwt_bytes_assign_range, void(Bytes *, const unsigned char *, const unsigned char *))     \
    X(lbwt_bytes_insert,                                                                        \
      unsigned char *(Bytes *, unsigned char *, const unsigned char *, const unsigned char *))  \
    X(lbwt_bytes_allocate, void *(uint64_t))                                                    \
    X(lbwt_strings_destroy, void(Strings *))                                                    \
    X(lbwt_strings_reserve, void(Strings *, uint64_t))                                          \
    X(lbwt_strings_emplace_back, String *(Strings *, const String *))                           \
    X(lbwt_strings_pop_back, void(Strings *))                                                   \
    X(lbwt_strings_clear, void(Strings *))                                                      \
    X(lbwt_strings_allocate, void *(uint64_t))

class CoreTest : public LibraryTest {
protected:
#define LBWT_DECLARE(name, ...) std::add_pointer_t<__VA_ARGS__> name = nullptr;
    LBWT_CORE_ENTRIES(LBWT_DECLARE)
#undef LBWT_DECLARE

    static constexpr uint64_t kNpos = ~uint64_t{0};

    void SetUp() override {
        LibraryTest::SetUp();
        void *module = lib().load_program(LBW_PROGRAM_CORE_TEST_MODULE);
#define LBWT_BIND(name, ...) \
    name = reinterpret_cast<std::add_pointer_t<__VA_ARGS__>>(sim::LoadedLibrary::program_symbol(module, #name));
        LBWT_CORE_ENTRIES(LBWT_BIND)
#undef LBWT_BIND
    }

    // Containers owned by the test, destroyed before the check that nothing leaked.
    void TearDown() override {
        for (String &s : strings_)
            lbwt_string_destroy(&s);
        for (Bytes &v : byte_vectors_)
            lbwt_bytes_destroy(&v);
        for (Strings &v : string_vectors_)
            lbwt_strings_destroy(&v);
        EXPECT_EQ(heap().bytes_in_use(), 0u) << "everything is freed";
        LibraryTest::TearDown();
    }
    String &str(const char *text) {
        lbwt_string_from_text(&strings_.emplace_back(), text);
        return strings_.back();
    }
    String &str(const char *text, uint64_t n) {
        lbwt_string_from_text_n(&strings_.emplace_back(), text, n);
        return strings_.back();
    }
    String &zero_string() { return strings_.emplace_back(); }
    Bytes &zero_bytes() { return byte_vectors_.emplace_back(); }
    Strings &zero_strings() { return string_vectors_.emplace_back(); }

    sim::HostHeap &heap() { return host().heap(); }
    // Forgets what the heap recorded so far (the blocks stay).
    void clear_recordings() {
        heap().malloc_sizes.clear();
        heap().realloc_sizes.clear();
        heap().freed.clear();
    }
    // The blocks given back to the heap, in order (operator delete passes null pointers
    // on to free as well; they are left out here).
    std::vector<void *> freed_blocks() {
        std::vector<void *> blocks;
        for (void *p : heap().freed)
            if (p)
                blocks.push_back(p);
        return blocks;
    }
    static std::string contents(const String &s) { return std::string(s.data, s.size); }
    static std::vector<unsigned char> bytes(const Bytes &v) { return {v.data, v.data + v.size}; }

private:
    std::deque<String> strings_;
    std::deque<Bytes> byte_vectors_;
    std::deque<Strings> string_vectors_;
};

} // namespace lbw::test
