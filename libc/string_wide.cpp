// The 32-byte versions of the long paths of libc/string.cpp, for processors and hosts
// with AVX2 (libc/wide.h). The moves, fills and comparisons follow their SSE2
// counterparts step for step, with blocks twice as wide and steps of 128 bytes; the scans
// go on from the first block, which strlen and strchr look at themselves. All give the
// same results as the byte loops: every byte read before it can be overwritten, the first
// difference found first, and no aligned block read that could cross into another page.
#include "libc/string_instructions.h"
#include "libc/wide.h"

#include <stddef.h>
#include <stdint.h>

namespace lm::wide {
namespace {

using u8 = unsigned char;

// Moves k blocks from the start and k ending at byte n, all read before any is written;
// for 32 k <= n <= 64 k they cover every byte.
template <int k>
LM_AVX2 inline void move_ends(u8 *d, const u8 *s, size_t n) {
    Block head[k], tail[k];
    for (int i = 0; i < k; i++) {
        head[i] = load(s + kSize * i);
        tail[i] = load(s + n - kSize * (k - i));
    }
    for (int i = 0; i < k; i++)
        store(d + kSize * i, head[i]);
    for (int i = 0; i < k; i++)
        store(d + n - kSize * (k - i), tail[i]);
}

template <int k>
LM_AVX2 inline void fill_ends(u8 *d, size_t n, Block block) {
    for (int i = 0; i < k; i++)
        store(d + kSize * i, block);
    for (int i = 0; i < k; i++)
        store(d + n - kSize * (k - i), block);
}

// Whether the k blocks at x and the k at x + second equal those at y.
template <int k>
LM_AVX2 inline bool ends_equal(const u8 *x, const u8 *y, size_t second) {
    Block differ = Block{};
    for (int i = 0; i < k; i++)
        differ |= (load(x + kSize * i) ^ load(y + kSize * i)) |
                  (load(x + second + kSize * i) ^ load(y + second + kSize * i));
    return zero_bits(differ) == 0xFFFFFFFF;
}

// The first differing pair in the blocks of ends_equal, which found one. Out of line, so
// that the callers' blocks need not stay in registers for it.
template <int k>
LM_AVX2 __attribute__((noinline)) int difference_in_ends(const u8 *x, const u8 *y, size_t second) {
    for (int i = 0; i < 2 * k; i++) {
        size_t at = i < k ? kSize * i : second + kSize * (i - k);
        if (uint32_t differ = difference_bits(load(x + at), load(y + at))) {
            at += static_cast<size_t>(__builtin_ctz(differ));
            return x[at] - y[at];
        }
    }
    return 0;
}

template <int k>
LM_AVX2 inline int compare_ends(const u8 *x, const u8 *y, size_t second) {
    return __builtin_expect(ends_equal<k>(x, y, second), 1) ? 0 : difference_in_ends<k>(x, y, second);
}

// Long scans ask for the cache lines this far ahead of the ones they read, and only from
// kFarFrom bytes on: below that the blocks are mostly in the nearest cache already.
constexpr size_t kPrefetchAhead = 1024;
constexpr size_t kFarFrom = 16384;

LM_AVX2 inline void prefetch_ahead(const void *p) {
    __builtin_prefetch(reinterpret_cast<const void *>(reinterpret_cast<uintptr_t>(p) + kPrefetchAhead), 0, 3);
}

// n > 256, the first 32 bytes equal: 128 bytes a step from x's first 32-byte boundary,
// then the last 128.
template <bool ahead>
LM_AVX2 int compare_long(const u8 *x, const u8 *y, size_t n) {
    ptrdiff_t y_offset = y - x;
    for (const u8 *p = align_down(x) + kSize, *stop = x + n - 128; p < stop; p += 128) {
        const u8 *q = p + y_offset;
        if (ahead) {
            prefetch_ahead(p);
            prefetch_ahead(q);
        }
        if (!ends_equal<2>(p, q, 64))
            return difference_in_ends<2>(p, q, 64);
    }
    return compare_ends<2>(x + n - 128, y + n - 128, 64);
}

// The four aligned blocks at p after `zero_where`, which makes them zero exactly in the
// bytes sought.
struct Group {
    Block blocks[4];
};

template <class ZeroWhere>
LM_AVX2 inline Group marked_group(const char *p, ZeroWhere zero_where) {
    return {{zero_where(load_aligned(p)), zero_where(load_aligned(p + 32)), zero_where(load_aligned(p + 64)),
             zero_where(load_aligned(p + 96))}};
}

LM_AVX2 inline bool any_zero(const Group &g) {
    return zero_bits(minimum(minimum(g.blocks[0], g.blocks[1]), minimum(g.blocks[2], g.blocks[3]))) != 0;
}

// The first zero byte of the group at p, which has one: the marks of each half as one
// 64-bit word, from the blocks already in hand.
LM_AVX2 inline const char *first_zero(const char *p, const Group &g) {
    if (uint64_t low = zero_bits(g.blocks[0]) | uint64_t{zero_bits(g.blocks[1])} << 32)
        return p + __builtin_ctzll(low);
    uint64_t high = zero_bits(g.blocks[2]) | uint64_t{zero_bits(g.blocks[3])} << 32;
    return p + 64 + __builtin_ctzll(high);
}

// The first byte past the aligned block holding s that `zero_where` marks (it maps a
// block to one that is zero exactly in the bytes sought). Reads aligned blocks only: the
// next three one by one, then four at a time from the 128-byte boundary at or below the
// end of those (which may read some of them again).
template <class ZeroWhere>
LM_AVX2 inline const char *find_past_first(const char *s, ZeroWhere zero_where) {
    const char *p = align_down(s);
    for (int i = 1; i <= 3; i++)
        if (uint32_t found = zero_bits(zero_where(load_aligned(p + kSize * i))); __builtin_expect(found != 0, 0))
            return p + kSize * i + __builtin_ctz(found);
    p = reinterpret_cast<const char *>((reinterpret_cast<uintptr_t>(p) + 4 * kSize) & ~uintptr_t{127});
    for (const char *near_end = p + kFarFrom; p != near_end; p += 128)
        if (Group g = marked_group(p, zero_where); any_zero(g))
            return first_zero(p, g);
    for (;; p += 128) {
        prefetch_ahead(p);
        prefetch_ahead(p + 64);
        if (Group g = marked_group(p, zero_where); any_zero(g))
            return first_zero(p, g);
    }
}

} // namespace

LM_AVX2 void *move_medium(void *dst, const void *src, size_t n) {
    u8 *d = static_cast<u8 *>(dst);
    const u8 *s = static_cast<const u8 *>(src);
    if (n <= 128)
        move_ends<2>(d, s, n);
    else
        move_ends<4>(d, s, n);
    return dst;
}

// n > 256 with the destination below the source or apart from it: the first 32 and the
// last 128 bytes are read first and written last; in between, each 128-byte step, stored
// at the destination's 32-byte boundaries, is read whole before any of it is written, so
// a store only ever covers source bytes already read.
LM_AVX2 void *move_up(void *dst, const void *src, size_t n) {
    u8 *d = static_cast<u8 *>(dst);
    const u8 *s = static_cast<const u8 *>(src);
    Block head = load(s);
    Block t0 = load(s + n - 128), t1 = load(s + n - 96), t2 = load(s + n - 64), t3 = load(s + n - 32);
    ptrdiff_t source_offset = s - d;
    for (u8 *to = align_down(d) + kSize, *stop = d + n - 128; to < stop; to += 128) {
        const u8 *from = to + source_offset;
        Block b0 = load(from), b1 = load(from + 32), b2 = load(from + 64), b3 = load(from + 96);
        store_aligned(to, b0);
        store_aligned(to + 32, b1);
        store_aligned(to + 64, b2);
        store_aligned(to + 96, b3);
    }
    store(d + n - 128, t0);
    store(d + n - 96, t1);
    store(d + n - 64, t2);
    store(d + n - 32, t3);
    store(d, head);
    return dst;
}

// The mirror image, for a destination above the source: 128-byte steps downward, the
// first 128 and the last 32 bytes read first and written last. The steps run from the
// offset `at` down to the last one not below 0 (a step at 0, with the destination
// aligned, writes what the first 128 bytes will be written with again). The offset is
// counted down by an asm statement whose borrow ends the loop: the compiler would
// compare it with a constant after each step instead, one instruction more, which cost
// this loop a sixth of its time.
LM_AVX2 void *move_down(void *dst, const void *src, size_t n) {
    u8 *d = static_cast<u8 *>(dst);
    const u8 *s = static_cast<const u8 *>(src);
    Block tail = load(s + n - 32);
    Block h0 = load(s), h1 = load(s + 32), h2 = load(s + 64), h3 = load(s + 96);
    size_t at = static_cast<size_t>(align_down(d + n - 1) - 128 - d);
    bool more;
    do {
        Block b0 = load(s + at + 96), b1 = load(s + at + 64), b2 = load(s + at + 32), b3 = load(s + at);
        store_aligned(d + at + 96, b0);
        store_aligned(d + at + 64, b1);
        store_aligned(d + at + 32, b2);
        store_aligned(d + at, b3);
        asm("sub $128, %0" : "+r"(at), "=@ccae"(more));
    } while (more);
    store(d, h0);
    store(d + 32, h1);
    store(d + 64, h2);
    store(d + 96, h3);
    store(d + n - 32, tail);
    return dst;
}

// 129-256 bytes first, behind one size test.
LM_AVX2 void *fill(void *dst, int value, size_t n) {
    u8 *d = static_cast<u8 *>(dst);
    Block block = repeat(static_cast<u8>(value));
    if (__builtin_expect(n - 129 < 128, 1)) {
        fill_ends<4>(d, n, block);
    } else if (n <= 128) {
        fill_ends<2>(d, n, block);
    } else if (n >= kStringInstructionFrom) {
        return string_fill(dst, value, n);
    } else {
        store(d, block);
        for (u8 *to = align_down(d) + kSize, *stop = d + n - 128; to < stop; to += 128) {
            store_aligned(to, block);
            store_aligned(to + 32, block);
            store_aligned(to + 64, block);
            store_aligned(to + 96, block);
        }
        fill_ends<4>(d + n - 128, 128, block);
    }
    return dst;
}

// Beyond 256 bytes: out of line, so that the shorter comparisons need none of the
// registers it saves.
[[gnu::noinline]] LM_AVX2 static int compare_beyond_256(const u8 *x, const u8 *y, size_t n) {
    if (uint32_t differ = difference_bits(load(x), load(y))) {
        size_t at = static_cast<size_t>(__builtin_ctz(differ));
        return x[at] - y[at];
    }
    return n < kFarFrom ? compare_long<false>(x, y, n) : compare_long<true>(x, y, n);
}

// Up to 256 bytes, both ends at once in one test; 129-256 bytes first, behind one size
// test.
LM_AVX2 int compare(const void *a, const void *b, size_t n) {
    const u8 *x = static_cast<const u8 *>(a);
    const u8 *y = static_cast<const u8 *>(b);
    if (__builtin_expect(n - 129 < 128, 1))
        return compare_ends<4>(x, y, n - 128);
    if (n <= 128)
        return compare_ends<2>(x, y, n - 64);
    return compare_beyond_256(x, y, n);
}

// strlen and strchr look at the first block themselves (zero_marks_from and
// value_or_zero_marks_from) and jump here for the rest.
LM_AVX2 size_t length_past_first(const char *s) {
    return static_cast<size_t>(find_past_first(s, [](Block b) LM_AVX2 { return b; }) - s);
}

// min(b ^ value, b) is zero exactly at the value and at the terminator.
LM_AVX2 char *find_byte_past_first(const char *s, int ch) {
    char c = static_cast<char>(ch);
    Block pattern = repeat(static_cast<u8>(c));
    const char *p = find_past_first(s, [pattern](Block b) LM_AVX2 { return minimum(b ^ pattern, b); });
    return *p == c ? const_cast<char *>(p) : nullptr;
}

} // namespace lm::wide
