// lm::string and lm::string_view, through the core test module; allocations are observed
// in the substitute host's heap.
#include "tests/core/core_module.h"

namespace lbw::test {
namespace {

using U64s = std::vector<uint64_t>;

class StringTest : public CoreTest {};

TEST_F(StringTest, NullAndEmptyTextsGiveAnEmptyStringWithAOneByteBuffer) {
    String a{}, b{}, c{};
    lbwt_string_from_text(&a, nullptr);
    lbwt_string_from_text_n(&b, nullptr, 5);
    lbwt_string_from_text(&c, "");
    for (const String *s : {&a, &b, &c}) {
        ASSERT_NE(s->data, nullptr);
        EXPECT_EQ(s->data[0], '\0');
        EXPECT_EQ(s->size, 0u);
        EXPECT_EQ(s->capacity, 0u);
    }
    EXPECT_EQ(heap().malloc_sizes, (U64s{1, 1, 1}));
    for (String *s : {&a, &b, &c})
        lbwt_string_destroy(s);
    EXPECT_EQ(heap().bytes_in_use(), 0u);
}

TEST_F(StringTest, ConstructionCopiesExactlyTheBytesAsked) {
    String s = make("hello");
    EXPECT_EQ(contents(s), "hello");
    EXPECT_EQ(s.capacity, 5u);
    EXPECT_EQ(s.data[5], '\0');
    String t{};
    lbwt_string_from_text_n(&t, "hello", 3);
    EXPECT_EQ(contents(t), "hel");
    EXPECT_EQ(t.capacity, 3u);
    EXPECT_EQ(t.data[3], '\0');
    String copy{};
    lbwt_string_copy(&copy, &s);
    EXPECT_NE(copy.data, s.data);
    EXPECT_EQ(contents(copy), "hello");
    EXPECT_EQ(copy.capacity, 5u);
    EXPECT_EQ(heap().malloc_sizes, (U64s{6, 4, 6}));
    for (String *x : {&s, &t, &copy})
        lbwt_string_destroy(x);
    EXPECT_EQ(heap().bytes_in_use(), 0u);
}

TEST_F(StringTest, CopyOfAZeroStringIsEmptyWithABuffer) {
    String zero{}, copy{};
    lbwt_string_copy(&copy, &zero);
    ASSERT_NE(copy.data, nullptr);
    EXPECT_EQ(copy.data[0], '\0');
    EXPECT_EQ(copy.size, 0u);
    EXPECT_EQ(copy.capacity, 0u);
    lbwt_string_destroy(&copy);
}

TEST_F(StringTest, MoveTakesTheFieldsAndLeavesTheSourceNull) {
    String s = make("abc");
    char *buffer = s.data;
    String moved{};
    lbwt_string_move(&moved, &s);
    EXPECT_EQ(moved.data, buffer);
    EXPECT_EQ(moved.size, 3u);
    EXPECT_EQ(moved.capacity, 3u);
    EXPECT_EQ(s.data, nullptr);
    EXPECT_EQ(s.size, 0u);
    EXPECT_EQ(s.capacity, 0u);
    // The moved-from string reads as empty.
    EXPECT_EQ(lbwt_string_find(&s, 'a', 0), kNpos);
    EXPECT_TRUE(lbwt_string_equals(&s, ""));
    EXPECT_TRUE(lbwt_string_equals(&s, nullptr));
    EXPECT_EQ(heap().malloc_sizes.size(), 1u) << "a move allocates nothing";
    clear_recordings();
    lbwt_string_destroy(&s);
    EXPECT_EQ(heap().freed, (std::vector<void *>{nullptr}));
    lbwt_string_destroy(&moved);
    EXPECT_EQ(heap().freed.back(), buffer);
}

TEST_F(StringTest, AssignFromInsideTheOwnBufferKeepsTheTailWithExactCapacity) {
    String s = make("hello");
    char *old = s.data;
    clear_recordings();
    lbwt_string_assign(&s, s.data + 2, 100);
    EXPECT_EQ(contents(s), "llo");
    EXPECT_EQ(s.capacity, 3u);
    EXPECT_EQ(s.data[3], '\0');
    EXPECT_EQ(heap().malloc_sizes, (U64s{4}));
    EXPECT_EQ(freed_blocks(), (std::vector<void *>{old}));

    lbwt_string_assign(&s, s.data, 2); // a prefix of itself
    EXPECT_EQ(contents(s), "ll");
    EXPECT_EQ(s.capacity, 2u);

    lbwt_string_assign(&s, s.data + s.size, 5); // its own terminator
    EXPECT_EQ(s.size, 0u);
    EXPECT_EQ(s.capacity, 0u);
    ASSERT_NE(s.data, nullptr);
    EXPECT_EQ(s.data[0], '\0');
    lbwt_string_destroy(&s);
    EXPECT_EQ(heap().bytes_in_use(), 0u);
}

TEST_F(StringTest, AssignFromElsewhereReusesTheBufferAndNeverShrinks) {
    String s = make("hello world");
    char *buffer = s.data;
    clear_recordings();
    lbwt_string_assign(&s, "hi", 2);
    EXPECT_EQ(contents(s), "hi");
    EXPECT_EQ(s.data, buffer);
    EXPECT_EQ(s.capacity, 11u);
    EXPECT_EQ(s.data[2], '\0');
    lbwt_string_assign(&s, nullptr, 7);
    EXPECT_EQ(s.size, 0u);
    EXPECT_EQ(s.capacity, 11u);
    EXPECT_EQ(s.data[0], '\0');
    EXPECT_TRUE(heap().malloc_sizes.empty());
    lbwt_string_assign(&s, "a longer text here", 18); // grows to exactly the new size
    EXPECT_EQ(contents(s), "a longer text here");
    EXPECT_EQ(s.capacity, 18u);
    EXPECT_EQ(heap().malloc_sizes, (U64s{19}));
    EXPECT_EQ(lbwt_string_set_text(&s, "x"), &s);
    EXPECT_EQ(contents(s), "x");
    lbwt_string_set_text(&s, nullptr);
    EXPECT_EQ(s.size, 0u);
    lbwt_string_destroy(&s);
}

TEST_F(StringTest, AppendingAStringToItselfDoublesIt) {
    String s = make("abc");
    lbwt_string_append(&s, s.data, s.size);
    EXPECT_EQ(contents(s), "abcabc");
    EXPECT_EQ(s.capacity, 6u);
    EXPECT_EQ(s.data[6], '\0');
    EXPECT_EQ(lbwt_string_append_string(&s, &s), &s);
    EXPECT_EQ(contents(s), "abcabcabcabc");
    // A tail of itself, with n beyond the end: only up to the end is appended.
    lbwt_string_append(&s, s.data + 10, 50);
    EXPECT_EQ(contents(s), "abcabcabcabcbc");
    // The terminator's position: nothing to append.
    lbwt_string_append(&s, s.data + s.size, 4);
    EXPECT_EQ(contents(s), "abcabcabcabcbc");
    EXPECT_EQ(s.capacity, 14u);
    lbwt_string_destroy(&s);
    EXPECT_EQ(heap().bytes_in_use(), 0u);
}

TEST_F(StringTest, AppendGrowsToExactlyTheNewSize) {
    String s = make("ab");
    lbwt_string_append(&s, "cde", 3);
    EXPECT_EQ(contents(s), "abcde");
    EXPECT_EQ(s.capacity, 5u);
    lbwt_string_append(&s, "f", 1);
    EXPECT_EQ(s.capacity, 6u);
    EXPECT_EQ(heap().malloc_sizes, (U64s{3, 6, 7}));
    lbwt_string_append(&s, nullptr, 3);
    lbwt_string_append(&s, "xyz", 0);
    EXPECT_EQ(contents(s), "abcdef");
    EXPECT_EQ(heap().malloc_sizes.size(), 3u);

    String zero{};
    lbwt_string_append(&zero, "xyz", 3);
    EXPECT_EQ(contents(zero), "xyz");
    EXPECT_EQ(zero.capacity, 3u);
    String other{}, empty_zero{};
    lbwt_string_append_string(&other, &empty_zero); // nothing to append: stays null
    EXPECT_EQ(other.data, nullptr);
    lbwt_string_append_string(&other, &s);
    EXPECT_EQ(contents(other), "abcdef");
    for (String *x : {&s, &zero, &other})
        lbwt_string_destroy(x);
    EXPECT_EQ(heap().bytes_in_use(), 0u);
}

TEST_F(StringTest, PushBackDoublesFromSixteen) {
    String s{};
    lbwt_string_push_back(&s, 'a');
    EXPECT_EQ(s.capacity, 16u);
    EXPECT_EQ(heap().malloc_sizes, (U64s{17}));
    for (int i = 1; i < 16; i++)
        lbwt_string_push_back(&s, static_cast<char>('a' + i));
    EXPECT_EQ(s.capacity, 16u);
    lbwt_string_push_back(&s, 'q');
    EXPECT_EQ(s.capacity, 32u);
    EXPECT_EQ(contents(s), "abcdefghijklmnopq");
    EXPECT_EQ(s.data[17], '\0');
    EXPECT_EQ(heap().malloc_sizes, (U64s{17, 33}));

    String exact = make("abc");
    lbwt_string_push_back(&exact, 'd');
    EXPECT_EQ(exact.capacity, 6u);
    String empty_buffer = make(nullptr); // capacity 0 with a buffer
    lbwt_string_push_back(&empty_buffer, 'z');
    EXPECT_EQ(empty_buffer.capacity, 16u);
    EXPECT_EQ(contents(empty_buffer), "z");
    for (String *x : {&s, &exact, &empty_buffer})
        lbwt_string_destroy(x);
    EXPECT_EQ(heap().bytes_in_use(), 0u);
}

TEST_F(StringTest, ReserveGrowsExactlyAndNeverShrinks) {
    String s = make("abc");
    lbwt_string_reserve(&s, 2);
    EXPECT_EQ(s.capacity, 3u);
    lbwt_string_reserve(&s, 10);
    EXPECT_EQ(s.capacity, 10u);
    EXPECT_EQ(contents(s), "abc");
    EXPECT_EQ(s.data[3], '\0');
    EXPECT_EQ(heap().malloc_sizes, (U64s{4, 11}));
    String zero{};
    lbwt_string_reserve(&zero, 0); // nothing to do: stays null
    EXPECT_EQ(zero.data, nullptr);
    lbwt_string_reserve(&zero, 4);
    ASSERT_NE(zero.data, nullptr);
    EXPECT_EQ(zero.data[0], '\0');
    lbwt_string_destroy(&s);
    lbwt_string_destroy(&zero);
}

TEST_F(StringTest, SubstrClampsToTheEnd) {
    String s = make("hello"), abc = make("abc"), zero{}, r{};
    lbwt_string_substr(&r, &s, 10, 3);
    EXPECT_EQ(r.size, 0u);
    ASSERT_NE(r.data, nullptr);
    EXPECT_EQ(r.data[0], '\0');
    lbwt_string_destroy(&r);
    lbwt_string_substr(&r, &abc, 1, kNpos);
    EXPECT_EQ(contents(r), "bc");
    lbwt_string_destroy(&r);
    lbwt_string_substr(&r, &s, 1, 3);
    EXPECT_EQ(contents(r), "ell");
    EXPECT_EQ(r.capacity, 3u);
    lbwt_string_destroy(&r);
    lbwt_string_substr(&r, &s, 5, kNpos);
    EXPECT_EQ(r.size, 0u);
    lbwt_string_destroy(&r);
    lbwt_string_substr(&r, &zero, 0, 5);
    EXPECT_EQ(r.size, 0u);
    lbwt_string_destroy(&r);
    lbwt_string_destroy(&s);
    lbwt_string_destroy(&abc);
    EXPECT_EQ(heap().bytes_in_use(), 0u);
}

TEST_F(StringTest, FindSearchesFromAPositionAndAnswersNposOtherwise) {
    String s = make("hello");
    EXPECT_EQ(lbwt_string_npos(), kNpos);
    EXPECT_EQ(lbwt_string_find(&s, 'l', 0), 2u);
    EXPECT_EQ(lbwt_string_find(&s, 'l', 3), 3u);
    EXPECT_EQ(lbwt_string_find(&s, 'l', 4), kNpos);
    EXPECT_EQ(lbwt_string_find(&s, 'h', 0), 0u);
    EXPECT_EQ(lbwt_string_find(&s, 'x', 7), kNpos);
    EXPECT_EQ(lbwt_string_find(&s, 'o', kNpos), kNpos);
    EXPECT_EQ(lbwt_string_find(&s, '\0', 0), kNpos) << "the terminator is not part of the string";
    String zero{};
    EXPECT_EQ(lbwt_string_find(&zero, '\0', 0), kNpos);
    EXPECT_EQ(lbwt_view_find("a\0b", 3, 'b', 0), 2u);
    EXPECT_EQ(lbwt_view_find("abc", 2, 'c', 0), kNpos);
    lbwt_string_destroy(&s);
}

TEST_F(StringTest, ViewsAreEqualWithEqualSizesAndBytes) {
    EXPECT_TRUE(lbwt_view_equals("abc", 3, "abcdef", 3));
    EXPECT_FALSE(lbwt_view_equals("abc", 3, "abc", 2));
    EXPECT_FALSE(lbwt_view_equals("abc", 3, "abd", 3));
    EXPECT_FALSE(lbwt_view_equals("xbc", 3, "abc", 3));
    EXPECT_TRUE(lbwt_view_equals(nullptr, 0, "", 0));
    EXPECT_TRUE(lbwt_view_equals("a\0b", 3, "a\0b", 3));
    EXPECT_FALSE(lbwt_view_equals("a\0b", 3, "a\0c", 3));
}

TEST_F(StringTest, ComparisonWithTextReadsNullsAsEmpty) {
    String zero{}, abc = make("abc"), embedded{};
    lbwt_string_from_text_n(&embedded, "a\0b", 3);
    EXPECT_TRUE(lbwt_string_equals(&zero, ""));
    EXPECT_TRUE(lbwt_string_equals(&zero, nullptr));
    EXPECT_FALSE(lbwt_string_differs(&zero, nullptr));
    EXPECT_TRUE(lbwt_string_differs(&zero, "a"));
    EXPECT_TRUE(lbwt_string_equals(&abc, "abc"));
    EXPECT_FALSE(lbwt_string_equals(&abc, "abd"));
    EXPECT_FALSE(lbwt_string_equals(&abc, "ab"));
    EXPECT_FALSE(lbwt_string_equals(&abc, "abcd"));
    EXPECT_FALSE(lbwt_string_equals(&abc, nullptr));
    EXPECT_TRUE(lbwt_string_differs(&abc, "abd"));
    EXPECT_FALSE(lbwt_string_equals(&embedded, "a")) << "the text ends at its NUL";
    EXPECT_EQ(lbwt_string_length(nullptr), 0u);
    EXPECT_EQ(lbwt_string_length(""), 0u);
    EXPECT_EQ(lbwt_string_length("a\0b"), 1u);
    lbwt_string_destroy(&abc);
    lbwt_string_destroy(&embedded);
}

TEST_F(StringTest, PointerOffsetCoversTheBufferAndItsTerminator) {
    String s = make("abc"), other = make("abc"), zero{};
    uint64_t offset = 99;
    EXPECT_FALSE(lbwt_string_pointer_offset(&s, nullptr, &offset));
    EXPECT_FALSE(lbwt_string_pointer_offset(&zero, s.data, &offset));
    for (uint64_t i = 0; i <= 3; i++) {
        EXPECT_TRUE(lbwt_string_pointer_offset(&s, s.data + i, &offset)) << i;
        EXPECT_EQ(offset, i);
    }
    offset = 99;
    EXPECT_FALSE(lbwt_string_pointer_offset(&s, s.data + 4, &offset));
    EXPECT_FALSE(lbwt_string_pointer_offset(&s, s.data - 1, &offset));
    EXPECT_FALSE(lbwt_string_pointer_offset(&s, other.data, &offset));
    EXPECT_EQ(offset, 99u) << "a failed test leaves the offset alone";
    lbwt_string_destroy(&s);
    lbwt_string_destroy(&other);
}

TEST_F(StringTest, EnsureStorageAndAllocateGiveNulTerminatedBuffers) {
    String zero{};
    lbwt_string_ensure_storage(&zero);
    ASSERT_NE(zero.data, nullptr);
    EXPECT_EQ(zero.data[0], '\0');
    EXPECT_EQ(zero.capacity, 0u);
    char *buffer = zero.data;
    lbwt_string_ensure_storage(&zero);
    EXPECT_EQ(zero.data, buffer);
    char *block = lbwt_string_allocate(7);
    EXPECT_EQ(block[0], '\0');
    EXPECT_EQ(heap().malloc_sizes, (U64s{1, 8}));
    lbwt_string_destroy(&zero);
    heap().release(block);
}

TEST_F(StringTest, AllocatingTheWholeAddressSpaceHalts) {
    // n + 1 would wrap to 0 and hand out a 1-byte block for an enormous capacity.
    EXPECT_HALTS(lbwt_string_allocate(kNpos));
    String s = make("abc");
    EXPECT_HALTS(lbwt_string_reserve(&s, kNpos));
    lbwt_string_destroy(&s);
}

TEST_F(StringTest, AppendOfALengthNoMemoryHoldsHalts) {
    // size + n would wrap and the copy would run past the buffer.
    String s = make("abc");
    EXPECT_HALTS(lbwt_string_append(&s, "xyz", kNpos - 1));
    lbwt_string_destroy(&s);
}

} // namespace
} // namespace lbw::test
