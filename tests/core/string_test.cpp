// lm::string and lm::string_view, through the core test module; allocations are observed
// in the substitute host's heap.
#include "tests/core/core_module.h"

#include <tuple>

namespace lbw::test {
namespace {

using U64s = std::vector<uint64_t>;

using State = std::tuple<std::string, uint64_t>;

class StringTest : public CoreTest {
protected:
    // Contents and capacity of a string with a buffer, its terminator checked.
    static State state(const String &s) {
        EXPECT_NE(s.data, nullptr);
        EXPECT_EQ(s.data ? s.data[s.size] : 1, '\0') << "terminated at size";
        return {s.data ? contents(s) : "", s.capacity};
    }
};

TEST_F(StringTest, ConstructionCopiesExactlyTheBytesAsked) {
    // Null and empty texts give an empty string with a one-byte buffer.
    EXPECT_EQ(state(str(nullptr)), State("", 0));
    EXPECT_EQ(state(str(nullptr, 5)), State("", 0));
    EXPECT_EQ(state(str("")), State("", 0));
    EXPECT_EQ(state(str("hello")), State("hello", 5));
    EXPECT_EQ(state(str("hello", 3)), State("hel", 3));
    String &copy = zero_string(), &copy_of_zero = zero_string(), &original = str("abc");
    lbwt_string_copy(&copy, &original);
    EXPECT_EQ(state(copy), State("abc", 3));
    EXPECT_NE(copy.data, original.data);
    lbwt_string_copy(&copy_of_zero, &zero_string());
    EXPECT_EQ(state(copy_of_zero), State("", 0));
    EXPECT_EQ(heap().malloc_sizes, (U64s{1, 1, 1, 6, 4, 4, 4, 1}));
}

TEST_F(StringTest, MoveTakesTheFieldsAndLeavesTheSourceNull) {
    String &s = str("abc"), &moved = zero_string();
    char *buffer = s.data;
    lbwt_string_move(&moved, &s);
    EXPECT_EQ(moved.data, buffer);
    EXPECT_EQ(state(moved), State("abc", 3));
    EXPECT_EQ(s.data, nullptr);
    EXPECT_EQ(s.size + s.capacity, 0u);
    // The moved-from string reads as empty.
    EXPECT_EQ(lbwt_string_find(&s, 'a', 0), kNpos);
    EXPECT_TRUE(lbwt_string_equals(&s, nullptr));
    EXPECT_EQ(heap().malloc_sizes.size(), 1u) << "a move allocates nothing";
    clear_recordings();
    lbwt_string_destroy(&s);
    EXPECT_EQ(heap().freed, (std::vector<void *>{nullptr}));
}

TEST_F(StringTest, AssignFromInsideTheOwnBufferKeepsTheTailWithExactCapacity) {
    String &s = str("hello");
    char *old = s.data;
    clear_recordings();
    lbwt_string_assign(&s, s.data + 2, 100);
    EXPECT_EQ(state(s), State("llo", 3));
    EXPECT_EQ(heap().malloc_sizes, (U64s{4}));
    EXPECT_EQ(freed_blocks(), (std::vector<void *>{old}));
    lbwt_string_assign(&s, s.data, 2); // a prefix of itself
    EXPECT_EQ(state(s), State("ll", 2));
    lbwt_string_assign(&s, s.data + s.size, 5); // its own terminator
    EXPECT_EQ(state(s), State("", 0));
}

TEST_F(StringTest, AssignFromElsewhereReusesTheBufferAndNeverShrinks) {
    String &s = str("hello world");
    char *buffer = s.data;
    clear_recordings();
    lbwt_string_assign(&s, "hi", 2);
    EXPECT_EQ(state(s), State("hi", 11));
    EXPECT_EQ(s.data, buffer);
    lbwt_string_assign(&s, nullptr, 7);
    EXPECT_EQ(state(s), State("", 11));
    EXPECT_TRUE(heap().malloc_sizes.empty());
    lbwt_string_assign(&s, "a longer text here", 18); // grows to exactly the new size
    EXPECT_EQ(state(s), State("a longer text here", 18));
    EXPECT_EQ(heap().malloc_sizes, (U64s{19}));
    EXPECT_EQ(lbwt_string_set_text(&s, "x"), &s);
    EXPECT_EQ(contents(s), "x");
    lbwt_string_set_text(&s, nullptr);
    EXPECT_EQ(s.size, 0u);
}

TEST_F(StringTest, AppendGrowsExactlyAndCopesWithItsOwnBytes) {
    String &s = str("ab");
    lbwt_string_append(&s, "cde", 3);
    EXPECT_EQ(state(s), State("abcde", 5));
    lbwt_string_append(&s, nullptr, 3);
    lbwt_string_append(&s, "xyz", 0);
    EXPECT_EQ(heap().malloc_sizes, (U64s{3, 6}));
    // Appending a string to itself doubles it.
    lbwt_string_append(&s, s.data, s.size);
    EXPECT_EQ(state(s), State("abcdeabcde", 10));
    EXPECT_EQ(lbwt_string_append_string(&s, &s), &s);
    EXPECT_EQ(contents(s), "abcdeabcdeabcdeabcde");
    // A tail of itself with n beyond the end: only up to the end; the terminator: nothing.
    lbwt_string_append(&s, s.data + 18, 50);
    lbwt_string_append(&s, s.data + s.size, 4);
    EXPECT_EQ(state(s), State("abcdeabcdeabcdeabcdede", 22));

    String &zero = zero_string(), &other = zero_string();
    lbwt_string_append(&zero, "xyz", 3);
    EXPECT_EQ(state(zero), State("xyz", 3));
    lbwt_string_append_string(&other, &zero_string()); // nothing to append: stays null
    EXPECT_EQ(other.data, nullptr);
    lbwt_string_append_string(&other, &zero);
    EXPECT_EQ(state(other), State("xyz", 3));
}

TEST_F(StringTest, PushBackDoublesFromSixteen) {
    String &s = zero_string();
    lbwt_string_push_back(&s, 'a');
    EXPECT_EQ(state(s), State("a", 16));
    for (int i = 1; i < 17; i++)
        lbwt_string_push_back(&s, static_cast<char>('a' + i));
    EXPECT_EQ(state(s), State("abcdefghijklmnopq", 32));
    EXPECT_EQ(heap().malloc_sizes, (U64s{17, 33}));
    String &exact = str("abc");
    lbwt_string_push_back(&exact, 'd');
    EXPECT_EQ(state(exact), State("abcd", 6));
    String &empty_buffer = str(nullptr); // capacity 0 with a buffer
    lbwt_string_push_back(&empty_buffer, 'z');
    EXPECT_EQ(state(empty_buffer), State("z", 16));
}

TEST_F(StringTest, ReserveGrowsExactlyAndNeverShrinks) {
    String &s = str("abc");
    lbwt_string_reserve(&s, 2);
    EXPECT_EQ(s.capacity, 3u);
    lbwt_string_reserve(&s, 10);
    EXPECT_EQ(state(s), State("abc", 10));
    EXPECT_EQ(heap().malloc_sizes, (U64s{4, 11}));
    String &zero = zero_string();
    lbwt_string_reserve(&zero, 0); // nothing to do: stays null
    EXPECT_EQ(zero.data, nullptr);
    lbwt_string_reserve(&zero, 4);
    EXPECT_EQ(state(zero), State("", 4));
    // Ensuring storage gives a null string an empty buffer, once.
    String &null = zero_string();
    lbwt_string_ensure_storage(&null);
    char *buffer = null.data;
    lbwt_string_ensure_storage(&null);
    EXPECT_EQ(null.data, buffer);
    EXPECT_EQ(state(null), State("", 0));
    char *block = lbwt_string_allocate(7);
    EXPECT_EQ(block[0], '\0');
    EXPECT_EQ(heap().malloc_sizes.back(), 8u);
    heap().release(block);
}

TEST_F(StringTest, SubstrClampsToTheEnd) {
    String &hello = str("hello");
    const std::tuple<const String *, uint64_t, uint64_t, State> cases[] = {
        {&hello, 10, 3, {"", 0}},       {&str("abc"), 1, kNpos, {"bc", 2}}, {&hello, 1, 3, {"ell", 3}},
        {&hello, 5, kNpos, {"", 0}},    {&zero_string(), 0, 5, {"", 0}},
    };
    for (const auto &[from, start, n, expected] : cases) {
        String &r = zero_string();
        lbwt_string_substr(&r, from, start, n);
        EXPECT_EQ(state(r), expected) << start << " " << n;
    }
}

TEST_F(StringTest, FindSearchesFromAPositionAndAnswersNposOtherwise) {
    String &s = str("hello");
    EXPECT_EQ(lbwt_string_npos(), kNpos);
    const std::tuple<char, uint64_t, uint64_t> cases[] = {
        {'l', 0, 2}, {'l', 3, 3}, {'l', 4, kNpos}, {'h', 0, 0}, {'x', 7, kNpos}, {'o', kNpos, kNpos},
        {'\0', 0, kNpos}, // the terminator is not part of the string
    };
    for (auto [c, from, expected] : cases)
        EXPECT_EQ(lbwt_string_find(&s, c, from), expected) << c << from;
    EXPECT_EQ(lbwt_string_find(&zero_string(), '\0', 0), kNpos);
    EXPECT_EQ(lbwt_view_find("a\0b", 3, 'b', 0), 2u);
    EXPECT_EQ(lbwt_view_find("abc", 2, 'c', 0), kNpos);
}

TEST_F(StringTest, ComparisonsReadNullsAsEmpty) {
    EXPECT_TRUE(lbwt_view_equals("abc", 3, "abcdef", 3));
    EXPECT_FALSE(lbwt_view_equals("abc", 3, "abc", 2));
    EXPECT_FALSE(lbwt_view_equals("abc", 3, "abd", 3));
    EXPECT_FALSE(lbwt_view_equals("xbc", 3, "abc", 3));
    EXPECT_TRUE(lbwt_view_equals(nullptr, 0, "", 0));
    EXPECT_TRUE(lbwt_view_equals("a\0b", 3, "a\0b", 3));
    EXPECT_FALSE(lbwt_view_equals("a\0b", 3, "a\0c", 3));

    String &zero = zero_string(), &abc = str("abc");
    const std::tuple<const String *, const char *, bool> cases[] = {
        {&zero, "", true},    {&zero, nullptr, true}, {&zero, "a", false},     {&abc, "abc", true},
        {&abc, "abd", false}, {&abc, "ab", false},    {&abc, "abcd", false},   {&abc, nullptr, false},
        {&str("a\0b", 3), "a", false}, // the text ends at its NUL
    };
    for (auto [s, text, equal] : cases) {
        EXPECT_EQ(lbwt_string_equals(s, text), equal) << (text ? text : "null");
        EXPECT_EQ(lbwt_string_differs(s, text), !equal);
    }
    EXPECT_EQ(lbwt_string_length(nullptr), 0u);
    EXPECT_EQ(lbwt_string_length(""), 0u);
    EXPECT_EQ(lbwt_string_length("a\0b"), 1u);
}

TEST_F(StringTest, PointerOffsetCoversTheBufferAndItsTerminator) {
    String &s = str("abc"), &other = str("abc");
    uint64_t offset = 99;
    EXPECT_FALSE(lbwt_string_pointer_offset(&s, nullptr, &offset));
    EXPECT_FALSE(lbwt_string_pointer_offset(&zero_string(), s.data, &offset));
    for (uint64_t i = 0; i <= 3; i++) {
        EXPECT_TRUE(lbwt_string_pointer_offset(&s, s.data + i, &offset)) << i;
        EXPECT_EQ(offset, i);
    }
    offset = 99;
    EXPECT_FALSE(lbwt_string_pointer_offset(&s, s.data + 4, &offset));
    EXPECT_FALSE(lbwt_string_pointer_offset(&s, s.data - 1, &offset));
    EXPECT_FALSE(lbwt_string_pointer_offset(&s, other.data, &offset));
    EXPECT_EQ(offset, 99u) << "a failed test leaves the offset alone";
}

// Sizes whose terminator or sum wraps would hand out a small block for a huge capacity.
TEST_F(StringTest, LengthsNoMemoryHoldsHalt) {
    String &s = str("abc");
    EXPECT_HALTS(lbwt_string_allocate(kNpos));
    EXPECT_HALTS(lbwt_string_reserve(&s, kNpos));
    EXPECT_HALTS(lbwt_string_append(&s, "xyz", kNpos - 1));
}

} // namespace
} // namespace lbw::test
