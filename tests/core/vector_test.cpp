// lm::vector<unsigned char> and lm::vector<lm::string>, through the core test module;
// allocations are observed in the substitute host's heap.
#include "tests/core/core_module.h"

namespace lbw::test {
namespace {

using U64s = std::vector<uint64_t>;
using ByteList = std::vector<unsigned char>;
using Pointers = std::vector<void *>;

class ByteVectorTest : public CoreTest {};

class StringVectorTest : public CoreTest {
protected:
    // Appends copies of the texts; their buffers, in order.
    Pointers fill(Strings &v, std::initializer_list<const char *> texts) {
        Pointers buffers;
        for (const char *text : texts) {
            String &s = str(text), *added = lbwt_strings_emplace_back(&v, &s);
            EXPECT_EQ(added, v.data + v.size - 1);
            EXPECT_NE(added->data, s.data) << "a copy, not the argument's buffer";
            buffers.push_back(added->data);
        }
        return buffers;
    }
};

TEST_F(ByteVectorTest, AssignRangeDoublesFromFourAndAssignValueIsExact) {
    const unsigned char ten[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    Bytes &v = zero_bytes(), &w = zero_bytes();
    lbwt_bytes_assign_range(&v, ten, ten + 10);
    EXPECT_EQ(v.capacity, 16u); // 4, 8, 16
    EXPECT_EQ(bytes(v), ByteList(ten, ten + 10));
    EXPECT_EQ(heap().malloc_sizes, (U64s{16})) << "one allocation of the final capacity";
    lbwt_bytes_assign_value(&w, 10, 7);
    EXPECT_EQ(w.capacity, 10u);
    EXPECT_EQ(bytes(w), ByteList(10, 7));

    // Assigning again replaces the contents and keeps the storage when it suffices.
    unsigned char *storage = v.data;
    lbwt_bytes_assign_value(&v, 3, 1);
    EXPECT_EQ(bytes(v), ByteList(3, 1));
    lbwt_bytes_assign_range(&v, ten + 5, ten + 9);
    EXPECT_EQ(bytes(v), ByteList(ten + 5, ten + 9));
    EXPECT_EQ(v.data, storage);
    EXPECT_EQ(v.capacity, 16u);
}

TEST_F(ByteVectorTest, ResizeAndReserveAreExact) {
    Bytes &v = zero_bytes();
    lbwt_bytes_reserve(&v, 0);
    EXPECT_EQ(v.data, nullptr) << "no storage for nothing";
    lbwt_bytes_assign_value(&v, 5, 9);
    lbwt_bytes_resize(&v, 3);
    EXPECT_EQ(v.size, 3u);
    EXPECT_EQ(v.capacity, 5u);
    lbwt_bytes_resize(&v, 8);
    EXPECT_EQ(v.capacity, 8u);
    EXPECT_EQ(bytes(v), (ByteList{9, 9, 9, 0, 0, 0, 0, 0})) << "bytes 3 to 7 are zeroed, old ones too";
    lbwt_bytes_resize_value(&v, 10, 4);
    EXPECT_EQ(v.capacity, 10u);
    EXPECT_EQ(bytes(v), (ByteList{9, 9, 9, 0, 0, 0, 0, 0, 4, 4}));
    lbwt_bytes_resize_value(&v, 1, 4); // shrinking ignores the value
    EXPECT_EQ(bytes(v), (ByteList{9}));
    lbwt_bytes_reserve(&v, 12);
    lbwt_bytes_reserve(&v, 4);
    EXPECT_EQ(v.capacity, 12u);
    EXPECT_EQ(bytes(v), (ByteList{9}));
    lbwt_bytes_resize(&v, 0);
    EXPECT_EQ(v.capacity, 12u);
    EXPECT_EQ(heap().malloc_sizes, (U64s{5, 8, 10, 12}));
    Bytes w{};
    lbwt_bytes_assign_value(&w, 2, 0);
    lbwt_bytes_destroy(&w);
    EXPECT_EQ(w.size, 0u);
    EXPECT_EQ(heap().freed.back(), w.data);
}

TEST_F(ByteVectorTest, InsertingNothingIntoNullStorageAllocatesNothing) {
    const unsigned char one = 1;
    Bytes &v = zero_bytes();
    EXPECT_EQ(lbwt_bytes_insert(&v, nullptr, &one, &one), nullptr);
    EXPECT_EQ(lbwt_bytes_insert(&v, nullptr, &one + 1, &one), nullptr) << "a reversed range is empty";
    EXPECT_EQ(v.data, nullptr);
    EXPECT_TRUE(heap().malloc_sizes.empty());
    lbwt_bytes_assign_value(&v, 4, 0);
    EXPECT_EQ(lbwt_bytes_insert(&v, v.data + 2, &one, &one), v.data + 2);
    EXPECT_EQ(v.size, 4u);
    Bytes empty{};
    lbwt_bytes_destroy(&empty);
    EXPECT_EQ(heap().freed.back(), nullptr);
}

TEST_F(ByteVectorTest, InsertMovesTheTailUpAndDoublesTheCapacity) {
    const unsigned char start[] = {1, 2, 3, 4}, nines[] = {9, 9};
    Bytes &v = zero_bytes();
    lbwt_bytes_assign_range(&v, start, start + 4);
    EXPECT_EQ(v.capacity, 4u);
    EXPECT_EQ(lbwt_bytes_insert(&v, v.data + 2, nines, nines + 2), v.data + 2);
    EXPECT_EQ(bytes(v), (ByteList{1, 2, 9, 9, 3, 4}));
    EXPECT_EQ(v.capacity, 8u);
    EXPECT_EQ(lbwt_bytes_insert(&v, v.data, start, start + 1), v.data);
    EXPECT_EQ(bytes(v), (ByteList{1, 1, 2, 9, 9, 3, 4}));
    EXPECT_EQ(lbwt_bytes_insert(&v, v.data + v.size, nines, nines + 1), v.data + 7);
    EXPECT_EQ(v.capacity, 8u);

    // Doubling starts from the current capacity, however it came about.
    Bytes &w = zero_bytes();
    lbwt_bytes_assign_value(&w, 5, 0);
    lbwt_bytes_insert(&w, w.data, nines, nines + 1);
    EXPECT_EQ(w.capacity, 10u);
    const unsigned char twenty[20] = {};
    lbwt_bytes_insert(&w, w.data, twenty, twenty + 20); // 26 bytes: 10, 20, 40
    EXPECT_EQ(w.capacity, 40u);
    EXPECT_EQ(w.size, 26u);
    EXPECT_EQ(w.data[20], 9);
}

// Sound behaviour: a range inside the vector is copied first, and a position outside the
// vector counts as its end.
TEST_F(ByteVectorTest, InsertFromItsOwnBytesAndFromOutside) {
    const unsigned char start[] = {1, 2, 3, 4, 5, 6}, seven = 7;
    Bytes &v = zero_bytes();
    lbwt_bytes_assign_range(&v, start, start + 6); // capacity 8
    // Without growth: the tail moves over the source bytes.
    lbwt_bytes_insert(&v, v.data, v.data + 2, v.data + 4);
    EXPECT_EQ(bytes(v), (ByteList{3, 4, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(v.capacity, 8u);
    // With growth: the old storage is freed before the copy would read it.
    lbwt_bytes_insert(&v, v.data + 1, v.data, v.data + 8);
    EXPECT_EQ(bytes(v), (ByteList{3, 3, 4, 1, 2, 3, 4, 5, 6, 4, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(v.capacity, 16u);
    lbwt_bytes_assign_range(&v, v.data + 3, v.data + 6);
    EXPECT_EQ(bytes(v), (ByteList{1, 2, 3}));

    unsigned char elsewhere[4] = {};
    EXPECT_EQ(lbwt_bytes_insert(&v, elsewhere, &seven, &seven + 1), v.data + 3);
    EXPECT_EQ(lbwt_bytes_insert(&v, v.data + 9, &seven, &seven + 1), v.data + 4);
    EXPECT_EQ(bytes(v), (ByteList{1, 2, 3, 7, 7}));
    EXPECT_EQ(elsewhere[0], 0);
}

TEST_F(ByteVectorTest, StorageFromVectorAllocate) {
    EXPECT_EQ(lbwt_bytes_allocate(0), nullptr);
    EXPECT_EQ(lbwt_strings_allocate(0), nullptr);
    EXPECT_TRUE(heap().malloc_sizes.empty());
    void *a = lbwt_bytes_allocate(5), *b = lbwt_strings_allocate(3);
    EXPECT_EQ(heap().malloc_sizes, (U64s{5, 72}));
    heap().release(a);
    heap().release(b);
    // More bytes than the address space: n * 24 would wrap to a small block.
    EXPECT_HALTS(lbwt_strings_allocate(~uint64_t{0} / 8));
    EXPECT_HALTS(lbwt_bytes_resize(&zero_bytes(), uint64_t{1} << 40)); // beyond the host heap
}

TEST_F(StringVectorTest, EmplaceBackDoublesFromFourAndMovesBuffersAlong) {
    Strings &v = zero_strings();
    Pointers buffers = fill(v, {"zero", "one", "two", "three"});
    EXPECT_EQ(v.capacity, 4u);
    EXPECT_EQ(v.size, 4u);
    EXPECT_EQ(heap().malloc_sizes[1], 4 * sizeof(String));
    String *old_storage = v.data;
    String &four = str("four");
    clear_recordings();
    String *added = lbwt_strings_emplace_back(&v, &four);
    EXPECT_EQ(v.capacity, 8u);
    EXPECT_EQ(added, v.data + 4);
    // New storage for 8 strings and one buffer for the copy of "four"; the four strings
    // moved with their buffers, so nothing else was allocated or freed.
    EXPECT_EQ(heap().malloc_sizes, (U64s{8 * sizeof(String), 5}));
    EXPECT_EQ(freed_blocks(), Pointers{old_storage});
    const char *texts[] = {"zero", "one", "two", "three", "four"};
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(contents(v.data[i]), texts[i]);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(v.data[i].data, buffers[i]);
}

TEST_F(StringVectorTest, EmplaceBackOfItsOwnElementCopiesItBeforeGrowing) {
    Strings &v = zero_strings();
    fill(v, {"alpha", "beta", "gamma", "delta"});
    // Growth moves the elements out of the storage the argument lives in.
    lbwt_strings_emplace_back(&v, &v.data[0]);
    ASSERT_EQ(v.size, 5u);
    EXPECT_EQ(contents(v.data[4]), "alpha");
    EXPECT_EQ(contents(v.data[0]), "alpha");
    EXPECT_NE(v.data[4].data, v.data[0].data);
    lbwt_strings_emplace_back(&v, &v.data[2]); // room left: no growth
    EXPECT_EQ(contents(v.data[5]), "gamma");
}

TEST_F(StringVectorTest, ReserveMovesTheStringsIntoExactStorage) {
    Strings &v = zero_strings();
    lbwt_strings_reserve(&v, 0);
    EXPECT_EQ(v.data, nullptr);
    lbwt_strings_reserve(&v, 3);
    EXPECT_EQ(v.capacity, 3u);
    void *buffer = fill(v, {"kept"})[0];
    clear_recordings();
    lbwt_strings_reserve(&v, 2);
    EXPECT_EQ(v.capacity, 3u);
    lbwt_strings_reserve(&v, 5);
    EXPECT_EQ(v.capacity, 5u);
    EXPECT_EQ(v.data[0].data, buffer);
    EXPECT_EQ(contents(v.data[0]), "kept");
    EXPECT_EQ(heap().malloc_sizes, (U64s{5 * sizeof(String)}));
}

TEST_F(StringVectorTest, ClearAndDestructionDestroyFromTheLastToTheFirst) {
    Strings &v = zero_strings();
    Pointers buffers = fill(v, {"a", "b", "c"});
    String *storage = v.data;
    clear_recordings();
    lbwt_strings_clear(&v);
    EXPECT_EQ(freed_blocks(), (Pointers{buffers[2], buffers[1], buffers[0]}));
    EXPECT_EQ(v.size, 0u);
    EXPECT_EQ(v.capacity, 4u);
    EXPECT_EQ(v.data, storage);

    Strings w{};
    buffers = fill(w, {"x", "y"});
    storage = w.data;
    clear_recordings();
    lbwt_strings_destroy(&w);
    EXPECT_EQ(freed_blocks(), (Pointers{buffers[1], buffers[0], storage}));
}

TEST_F(StringVectorTest, PopBackDestroysTheLastAndIgnoresAnEmptyVector) {
    Strings &v = zero_strings();
    void *buffer = fill(v, {"only"})[0];
    clear_recordings();
    lbwt_strings_pop_back(&v);
    EXPECT_EQ(v.size, 0u);
    EXPECT_EQ(freed_blocks(), Pointers{buffer});
    lbwt_strings_pop_back(&v); // empty: nothing happens
    lbwt_strings_pop_back(&zero_strings());
    EXPECT_EQ(v.size, 0u);
    EXPECT_EQ(freed_blocks().size(), 1u);
}

} // namespace
} // namespace lbw::test
