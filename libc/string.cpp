// Memory and byte-string functions. Each behaves exactly as its byte-by-byte definition;
// the busy ones move 16 bytes at a time (SSE2) where that provably gives the same result,
// and read nothing outside the bytes they are given or an aligned block holding one.
// Where the processor and host allow AVX2, the long paths jump to their 32-byte versions
// in libc/string_wide.cpp instead.
#include "libc/library.h"
#include "libc/move.h"
#include "libc/simd.h"
#include "libc/string_instructions.h"
#include "libc/wide.h"
#include "libc/word.h"

#include <stddef.h>
#include <stdint.h>

namespace simd = lm::simd;
namespace word = lm::word;
using lm::move_blocks;
using lm::move_small;
using lm::kStringInstructionFrom;
using lm::string_copy;
using lm::unaligned_u16;
using lm::unaligned_u32;
using simd::Block;
using u8 = unsigned char;

// The SSE2 bodies (the *_narrow functions) are inlined into their callers: called, they
// would keep the destination in a saved register for the result, and give every caller,
// short paths included, a stack frame.

// Moves of 65 to 256 bytes, whatever the overlap.
[[gnu::always_inline]] static inline void *move_medium_narrow(void *dst, const void *src, size_t n) {
    u8 *d = static_cast<u8 *>(dst);
    const u8 *s = static_cast<const u8 *>(src);
    if (n <= 128)
        move_blocks<4>(d, s, n);
    else
        move_blocks<8>(d, s, n);
    return dst;
}

static inline void *move_medium(void *dst, const void *src, size_t n) {
    return lm::wide::call_widest<lm::wide::move_medium, move_medium_narrow>(dst, src, n);
}

// Moves n > 256 bytes upward for a destination below the source or apart from it: the
// first 16 and the last 64 bytes are read first and written last, and in between each
// 64-byte step, stored at 16-byte boundaries of the destination, is read whole before
// any of it is written. A store then only ever covers source bytes already read.
[[gnu::always_inline]] static inline void *move_up_narrow(void *dst, const void *src, size_t n) {
    u8 *d = static_cast<u8 *>(dst);
    const u8 *s = static_cast<const u8 *>(src);
    Block head = simd::load(s);
    Block t0 = simd::load(s + n - 64), t1 = simd::load(s + n - 48);
    Block t2 = simd::load(s + n - 32), t3 = simd::load(s + n - 16);
    // The source is addressed relative to the destination so that the stores need no
    // index register.
    ptrdiff_t source_offset = s - d;
    u8 *stop = d + n - 64;
    for (u8 *to = simd::align_down(d) + simd::kSize; to < stop; to += 64) {
        const u8 *from = to + source_offset;
        Block b0 = simd::load(from), b1 = simd::load(from + 16);
        Block b2 = simd::load(from + 32), b3 = simd::load(from + 48);
        simd::store_aligned(to, b0);
        simd::store_aligned(to + 16, b1);
        simd::store_aligned(to + 32, b2);
        simd::store_aligned(to + 48, b3);
    }
    simd::store(d + n - 64, t0);
    simd::store(d + n - 48, t1);
    simd::store(d + n - 32, t2);
    simd::store(d + n - 16, t3);
    simd::store(d, head);
    return dst;
}

static void *move_up(void *dst, const void *src, size_t n) {
    u8 *d = static_cast<u8 *>(dst);
    const u8 *s = static_cast<const u8 *>(src);
    if (n >= kStringInstructionFrom && static_cast<uintptr_t>(s - d) >= 64) {
        string_copy(d, s, n);
        return dst;
    }
    return lm::wide::call_widest<lm::wide::move_up, move_up_narrow>(dst, src, n);
}

// The mirror image for a destination above the source: 64-byte steps downward from the
// last 16-byte boundary of the destination, the first 64 and the last 16 bytes read
// first and written last.
[[gnu::always_inline]] static inline void *move_down_narrow(void *dst, const void *src, size_t n) {
    u8 *d = static_cast<u8 *>(dst);
    const u8 *s = static_cast<const u8 *>(src);
    Block tail = simd::load(s + n - 16);
    Block h0 = simd::load(s), h1 = simd::load(s + 16), h2 = simd::load(s + 32), h3 = simd::load(s + 48);
    ptrdiff_t source_offset = s - d;
    for (u8 *to = simd::align_down(d + n - 1) - 64; to > d; to -= 64) {
        const u8 *from = to + source_offset;
        Block b0 = simd::load(from + 48), b1 = simd::load(from + 32);
        Block b2 = simd::load(from + 16), b3 = simd::load(from);
        simd::store_aligned(to + 48, b0);
        simd::store_aligned(to + 32, b1);
        simd::store_aligned(to + 16, b2);
        simd::store_aligned(to, b3);
    }
    simd::store(d, h0);
    simd::store(d + 16, h1);
    simd::store(d + 32, h2);
    simd::store(d + 48, h3);
    simd::store(d + n - 16, tail);
    return dst;
}

// memcpy into a destination that starts inside the source, `distance` bytes above it:
// copied forward as defined, byte i becomes source byte i mod distance. A piece no longer
// than the distance only reads bytes already final, so 16 or 8 bytes go at once where
// the distance allows.
static void *copy_repeating(void *dst, const void *src, size_t n) {
    u8 *d = static_cast<u8 *>(dst);
    const u8 *s = static_cast<const u8 *>(src);
    size_t distance = static_cast<size_t>(d - s), i = 0;
    if (distance >= simd::kSize)
        for (; i + simd::kSize <= n; i += simd::kSize)
            simd::store(d + i, simd::load(s + i));
    if (distance >= word::kSize)
        for (; i + word::kSize <= n; i += word::kSize)
            word::store(d + i, word::load(s + i));
    for (; i < n; i++)
        d[i] = s[i];
    return dst;
}

// memcpy is defined as a forward byte copy, overlap not considered. Wherever the
// destination does not start inside the source, that is the result of a move. (The rare
// case is a tail call, so that the others need no stack frame.)
LM_EXPORT void *memcpy(void *dst, const void *src, size_t n) {
    u8 *d = static_cast<u8 *>(dst);
    const u8 *s = static_cast<const u8 *>(src);
    if (__builtin_expect(!lm::copy_is_move(d, s, n), 0))
        [[clang::musttail]] return copy_repeating(dst, src, n);
    if (n <= 64) {
        move_small(d, s, n);
        return dst;
    }
    if (n <= 256)
        return move_medium(dst, src, n);
    return move_up(dst, src, n);
}

// Upward when the destination is below the source or apart from it, downward otherwise:
// either way every byte is read before it is overwritten, as with single bytes.
LM_EXPORT void *memmove(void *dst, const void *src, size_t n) {
    u8 *d = static_cast<u8 *>(dst);
    const u8 *s = static_cast<const u8 *>(src);
    if (d == s)
        return dst;
    if (n <= 64) {
        move_small(d, s, n);
        return dst;
    }
    if (n <= 256)
        return move_medium(dst, src, n);
    if (reinterpret_cast<uintptr_t>(d) - reinterpret_cast<uintptr_t>(s) >= n)
        return move_up(dst, src, n);
    return lm::wide::call_widest<lm::wide::move_down, move_down_narrow>(dst, src, n);
}

// Stores k blocks from the start and k blocks ending at byte n: for 16 k <= n <= 32 k
// every byte of the n.
template <int k>
static inline void fill_blocks(u8 *d, size_t n, Block block) {
    for (int i = 0; i < k; i++)
        simd::store(d + 16 * i, block);
    for (int i = 0; i < k; i++)
        simd::store(d + n - 16 * (k - i), block);
}

// Fills of more than 64 bytes: up to 256 two groups of blocks that may overlap, up to
// 2047 64-byte steps at 16-byte boundaries between the first 16 and the last 64 bytes,
// beyond that the string instruction.
[[gnu::always_inline]] static inline void *fill_beyond_64_narrow(void *dst, int ch, size_t n) {
    if (n >= kStringInstructionFrom)
        return lm::string_fill(dst, ch, n);
    u8 *d = static_cast<u8 *>(dst);
    Block block = simd::repeat(static_cast<char>(ch));
    if (n <= 128) {
        fill_blocks<4>(d, n, block);
    } else if (n <= 256) {
        fill_blocks<8>(d, n, block);
    } else {
        simd::store(d, block);
        for (u8 *to = simd::align_down(d) + simd::kSize, *stop = d + n - 64; to < stop; to += 64) {
            simd::store_aligned(to, block);
            simd::store_aligned(to + 16, block);
            simd::store_aligned(to + 32, block);
            simd::store_aligned(to + 48, block);
        }
        fill_blocks<4>(d + n - 64, 64, block);
    }
    return dst;
}

// Small fills store two pieces that may overlap, long ones use the string instruction.
// The size tests come in the order that passes each of 16, 64 and 256 bytes through the
// fewest of them.
LM_EXPORT void *memset(void *dst, int ch, size_t n) {
    u8 *d = static_cast<u8 *>(dst);
    if (__builtin_expect(n < 32, 0)) {
        if (n >= 16) {
            fill_blocks<1>(d, n, simd::repeat(static_cast<char>(ch)));
            return dst;
        }
        uint64_t pattern = word::repeat(static_cast<u8>(ch));
        if (n >= 8) {
            word::store(d, pattern);
            word::store(d + n - 8, pattern);
        } else if (n >= 4) {
            *reinterpret_cast<unaligned_u32 *>(d) = static_cast<uint32_t>(pattern);
            *reinterpret_cast<unaligned_u32 *>(d + n - 4) = static_cast<uint32_t>(pattern);
        } else if (n >= 2) {
            *reinterpret_cast<unaligned_u16 *>(d) = static_cast<uint16_t>(pattern);
            *reinterpret_cast<unaligned_u16 *>(d + n - 2) = static_cast<uint16_t>(pattern);
        } else if (n) {
            *d = static_cast<u8>(ch);
        }
        return dst;
    }
    if (n <= 64) {
        fill_blocks<2>(d, n, simd::repeat(static_cast<char>(ch)));
        return dst;
    }
    return lm::wide::call_widest<lm::wide::fill, fill_beyond_64_narrow>(dst, ch, n);
}

LM_EXPORT void bzero(void *dst, size_t n) {
    memset(dst, 0, n);
}

LM_EXPORT void __bzero(void *dst, size_t n) {
    memset(dst, 0, n);
}

// Bit i set when byte i of the 16 at x differs from byte i of the 16 at y.
static inline uint32_t block_differences(const u8 *x, const u8 *y) {
    return simd::difference_bits(simd::load(x), simd::load(y));
}

// The pair that `differ` (block_differences, nonzero) finds first.
static inline int difference_at(const u8 *x, const u8 *y, uint32_t differ) {
    size_t i = static_cast<size_t>(__builtin_ctz(differ));
    return x[i] - y[i];
}

// Whether the k blocks at x and the k at x + second equal those at y, in one test.
template <int k>
static inline bool ends_equal(const u8 *x, const u8 *y, size_t second) {
    Block differ = Block{};
    for (int i = 0; i < k; i++)
        differ |= (simd::load(x + 16 * i) ^ simd::load(y + 16 * i)) |
                  (simd::load(x + second + 16 * i) ^ simd::load(y + second + 16 * i));
    return simd::zero_bits(differ) == 0xFFFF;
}

// The first differing pair in the blocks of ends_equal, which found one. Kept out of
// line, so that the callers' blocks need not stay in registers for it.
template <int k>
__attribute__((noinline)) static int difference_in_ends(const u8 *x, const u8 *y, size_t second) {
    size_t at[2 * k];
    for (int i = 0; i < k; i++) {
        at[i] = 16 * i;
        at[k + i] = second + 16 * i;
    }
    uint32_t differ = 0;
    int i = 0;
    while (!(differ = block_differences(x + at[i], y + at[i])))
        i++;
    return difference_at(x + at[i], y + at[i], differ);
}

// From this size on, long scans ask for the cache lines ahead of the ones they read.
// Below it the blocks are mostly in the nearest cache already, and the requests would
// take load slots from the comparisons.
constexpr size_t kFarFrom = 16384;

// memcmp of more than 256 bytes whose first 16 are equal: 64 bytes a step from the
// first 16-byte boundary of x, and then the last 64.
template <bool ahead>
static inline int compare_long(const u8 *x, const u8 *y, size_t n) {
    // y is addressed relative to x, so that the loads from x need no index register.
    ptrdiff_t y_offset = y - x;
    for (const u8 *p = simd::align_down(x) + simd::kSize, *stop = x + n - 64; p < stop; p += 64) {
        const u8 *q = p + y_offset;
        if (ahead) {
            simd::prefetch_ahead(p);
            simd::prefetch_ahead(q);
        }
        Block differ = (simd::load_aligned(p) ^ simd::load(q)) | (simd::load_aligned(p + 16) ^ simd::load(q + 16)) |
                       (simd::load_aligned(p + 32) ^ simd::load(q + 32)) |
                       (simd::load_aligned(p + 48) ^ simd::load(q + 48));
        if (simd::zero_bits(differ) != 0xFFFF)
            return difference_in_ends<2>(p, q, 32);
    }
    x += n - 64;
    y += n - 64;
    return ends_equal<2>(x, y, 32) ? 0 : difference_in_ends<2>(x, y, 32);
}

// memcmp of more than 64 bytes: both ends at once up to 256, 64 bytes a step beyond. Out
// of line, so that the short comparisons need none of the registers it saves.
__attribute__((noinline)) static int compare_beyond_64_narrow(const void *a, const void *b, size_t n) {
    const u8 *x = static_cast<const u8 *>(a);
    const u8 *y = static_cast<const u8 *>(b);
    if (n <= 128)
        return __builtin_expect(ends_equal<4>(x, y, n - 64), 1) ? 0 : difference_in_ends<4>(x, y, n - 64);
    if (n <= 256) {
        if (!ends_equal<4>(x, y, 64))
            return difference_in_ends<4>(x, y, 64);
        x += n - 128;
        y += n - 128;
        return __builtin_expect(ends_equal<4>(x, y, 64), 1) ? 0 : difference_in_ends<4>(x, y, 64);
    }
    if (uint32_t differ = block_differences(x, y))
        return difference_at(x, y, differ);
    return n < kFarFrom ? compare_long<false>(x, y, n) : compare_long<true>(x, y, n);
}

// The first differing pair decides; bytes compared past it within the n never matter,
// and blocks may overlap ones already found equal. Compiled for size, which makes the
// compiler reach the longer versions by a conditional jump rather than a test and a jump
// (a taken branch less; see strlen); they are out of line, and the short paths are
// straight-line code that compiles alike either way.
LM_EXPORT __attribute__((minsize)) int memcmp(const void *a, const void *b, size_t n) {
    const u8 *x = static_cast<const u8 *>(a);
    const u8 *y = static_cast<const u8 *>(b);
    // 16 to 31 bytes, the common length of short keys, and then 32 to 64, each with one
    // size test: every test costs the processor's front end about a tenth of a short
    // comparison.
    if (__builtin_expect(n - 16 < 16, 1))
        return __builtin_expect(ends_equal<1>(x, y, n - 16), 1) ? 0 : difference_in_ends<1>(x, y, n - 16);
    if (__builtin_expect(n - 32 <= 32, 1))
        return __builtin_expect(ends_equal<2>(x, y, n - 32), 1) ? 0 : difference_in_ends<2>(x, y, n - 32);
    if (n > 64)
        return lm::wide::call_widest<lm::wide::compare, compare_beyond_64_narrow>(a, b, n);
    size_t i = 0;
    if (n >= 8) {
        uint64_t wx = word::load(x), wy = word::load(y);
        if (wx == wy) {
            i = n - 8;
            wx = word::load(x + i);
            wy = word::load(y + i);
        }
        if (wx == wy)
            return 0;
        i += word::first_difference(wx, wy);
        return x[i] - y[i];
    }
    for (; i < n; i++)
        if (x[i] != y[i])
            return x[i] - y[i];
    return 0;
}

// Only equality matters to bcmp, and memcmp answers that as fast as anything would.
LM_EXPORT int bcmp(const void *a, const void *b, size_t n) __attribute__((alias("memcmp")));

LM_EXPORT void *memchr(const void *s, int ch, size_t n) {
    const u8 *p = static_cast<const u8 *>(s);
    for (size_t i = 0; i < n; i++)
        if (p[i] == static_cast<u8>(ch))
            return const_cast<u8 *>(p + i);
    return nullptr;
}

// From a word-aligned p, passes over the words for which `stop` is zero and returns the
// first word for which it is not. Blocks of four words are read only from 32-byte
// boundaries, so like single aligned words they never cross into another page.
template <class Stop>
static const char *skip_words(const char *p, Stop stop) {
    for (; reinterpret_cast<uintptr_t>(p) & (4 * word::kSize - 1); p += word::kSize)
        if (stop(word::load_aligned(p)))
            return p;
    for (;; p += 4 * word::kSize) {
        uint64_t w0 = word::load_aligned(p), w1 = word::load_aligned(p + 8);
        uint64_t w2 = word::load_aligned(p + 16), w3 = word::load_aligned(p + 24);
        if (stop(w0) | stop(w1) | stop(w2) | stop(w3))
            break;
    }
    while (!stop(word::load_aligned(p)))
        p += word::kSize;
    return p;
}

// Scans aligned 16-byte blocks (libc/simd.h): the first zero byte at or after s.
[[gnu::always_inline]] static inline size_t length_narrow(const char *s) {
    return static_cast<size_t>(lm::simd::find(s, [](lm::simd::Block b) { return b; }) - s);
}

// strlen and strchr look at the first 32-byte block themselves where AVX2 may run, and
// leave for the rest of the scan by a conditional jump: compiling them for size is what
// makes the compiler fold that jump into the test, which saves a taken branch (about a
// fifth of a 64-byte strlen's time). The SSE2 scan lies out of line, compiled for speed.
LM_EXPORT __attribute__((minsize)) size_t strlen(const char *s) {
    namespace wide = lm::wide;
    if (!s)
        return 0;
    if (__builtin_expect(wide::gAnswer == wide::kYes, 1)) {
        if (uint32_t found = wide::zero_marks_from(s))
            return static_cast<size_t>(__builtin_ctz(found));
        return wide::length_past_first(s);
    }
    return wide::narrow_or_ask<strlen, length_narrow>(s);
}

LM_EXPORT int strcmp(const char *a, const char *b) {
    const u8 *x = reinterpret_cast<const u8 *>(a);
    const u8 *y = reinterpret_cast<const u8 *>(b);
    while (*x && *x == *y) {
        x++;
        y++;
    }
    return *x - *y;
}

LM_EXPORT int strncmp(const char *a, const char *b, size_t n) {
    const u8 *x = reinterpret_cast<const u8 *>(a);
    const u8 *y = reinterpret_cast<const u8 *>(b);
    for (size_t i = 0; i < n; i++) {
        if (x[i] != y[i])
            return x[i] - y[i];
        if (x[i] == 0)
            return 0;
    }
    return 0;
}

LM_EXPORT int strcoll(const char *a, const char *b) {
    return strcmp(a, b);
}

LM_EXPORT char *strcpy(char *dst, const char *src) {
    size_t i = 0;
    do
        dst[i] = src[i];
    while (src[i++]);
    return dst;
}

// Copies at most n bytes of src and fills the rest of the n with NULs; the result has
// no terminator when src is n bytes or longer.
LM_EXPORT char *strncpy(char *dst, const char *src, size_t n) {
    size_t i = 0;
    for (; i < n && src[i]; i++)
        dst[i] = src[i];
    for (; i < n; i++)
        dst[i] = 0;
    return dst;
}

LM_EXPORT char *strcat(char *dst, const char *src) {
    strcpy(dst + strlen(dst), src);
    return dst;
}

// Appends at most n bytes of src, then always a terminator.
LM_EXPORT char *strncat(char *dst, const char *src, size_t n) {
    char *end = dst + strlen(dst);
    size_t i = 0;
    for (; i < n && src[i]; i++)
        end[i] = src[i];
    end[i] = 0;
    return dst;
}

extern "C" void *malloc(size_t);

LM_EXPORT char *strdup(const char *s) {
    if (!s)
        return nullptr;
    size_t size = strlen(s) + 1;
    char *copy = static_cast<char *>(malloc(size));
    if (!copy)
        return nullptr;
    memcpy(copy, s, size);
    return copy;
}

// The first byte that is either the value or the terminator decides, as in the byte
// loop: min(b ^ value, b) is zero exactly there.
[[gnu::always_inline]] static inline char *find_byte_narrow(const char *s, int ch) {
    char c = static_cast<char>(ch);
    Block pattern = simd::repeat(c);
    const char *p = simd::find(s, [pattern](Block b) { return simd::minimum(b ^ pattern, b); });
    return *p == c ? const_cast<char *>(p) : nullptr;
}

LM_EXPORT __attribute__((minsize)) char *strchr(const char *s, int ch) {
    namespace wide = lm::wide;
    char c = static_cast<char>(ch);
    if (__builtin_expect(wide::gAnswer == wide::kYes, 1)) {
        uint32_t found = wide::value_or_zero_marks_from(s, c);
        if (!found)
            return wide::find_byte_past_first(s, ch);
        const char *p = s + __builtin_ctz(found);
        return *p == c ? const_cast<char *>(p) : nullptr;
    }
    return wide::narrow_or_ask<strchr, find_byte_narrow>(s, ch);
}

// The last position holding the value, the terminator included (as for strchr).
LM_EXPORT char *strrchr(const char *s, int ch) {
    char c = static_cast<char>(ch);
    const char *last = nullptr;
    do
        if (*s == c)
            last = s;
    while (*s++);
    return const_cast<char *>(last);
}

LM_EXPORT size_t strspn(const char *s, const char *set) {
    size_t n = 0;
    while (s[n] && strchr(set, s[n]))
        n++;
    return n;
}

// The set's terminator is never looked up, so it does not count as a member.
LM_EXPORT size_t strcspn(const char *s, const char *set) {
    size_t n = 0;
    while (s[n] && !strchr(set, s[n]))
        n++;
    return n;
}

LM_EXPORT char *strpbrk(const char *s, const char *set) {
    for (; *s; s++)
        if (strchr(set, *s))
            return const_cast<char *>(s);
    return nullptr;
}

LM_EXPORT char *strstr(const char *hay, const char *needle) {
    if (*needle == 0)
        return const_cast<char *>(hay);
    for (; *hay; hay++) {
        size_t i = 0;
        while (needle[i] && hay[i] == needle[i])
            i++;
        if (needle[i] == 0)
            return const_cast<char *>(hay);
    }
    return nullptr;
}
