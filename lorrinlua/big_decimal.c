/* Base 10^9 words make both the decimal input and the decimal output trivial; products
 * with a factor below 2^32 fit in 64 bits, and the compiler divides by the constant 10^9
 * with a multiplication. */
#include "big_decimal.h"

#define BASE 1000000000u

void big_decimal_set(big_decimal *b, uint64_t value) {
    b->size = 0;
    for (; value != 0; value /= BASE)
        b->word[b->size++] = (uint32_t)(value % BASE);
}

void big_decimal_set_digits(big_decimal *b, const char *text, int count) {
    b->size = 0;
    for (int end = count; end > 0 && b->size < BIG_DECIMAL_WORDS; end -= 9) {
        uint32_t word = 0;
        for (int i = end > 9 ? end - 9 : 0; i < end; i++)
            word = word * 10 + (uint32_t)(text[i] - '0');
        b->word[b->size++] = word;
    }
    while (b->size > 0 && b->word[b->size - 1] == 0)
        b->size--;
}

/* b *= factor, factor below 2^32. A product that outgrows the words is cut at the top:
 * callers stay far below that. */
static void mul_small(big_decimal *b, uint32_t factor) {
    uint64_t carry = 0;
    for (int i = 0; i < b->size; i++) {
        uint64_t t = (uint64_t)b->word[i] * factor + carry;
        b->word[i] = (uint32_t)(t % BASE);
        carry = t / BASE;
    }
    while (carry != 0 && b->size < BIG_DECIMAL_WORDS) {
        b->word[b->size++] = (uint32_t)(carry % BASE);
        carry /= BASE;
    }
}

void big_decimal_mul_pow2(big_decimal *b, int n) {
    for (; n >= 31; n -= 31)
        mul_small(b, UINT32_C(1) << 31);
    if (n > 0)
        mul_small(b, UINT32_C(1) << n);
}

void big_decimal_mul_pow5(big_decimal *b, int n) {
    for (; n >= 13; n -= 13)
        mul_small(b, 1220703125u); /* 5^13 */
    if (n > 0)
        mul_small(b, (uint32_t)lorrinlua_small_power_of_five[n]);
}

int big_decimal_compare(const big_decimal *a, const big_decimal *b) {
    if (a->size != b->size)
        return a->size < b->size ? -1 : 1;
    for (int i = a->size - 1; i >= 0; i--)
        if (a->word[i] != b->word[i])
            return a->word[i] < b->word[i] ? -1 : 1;
    return 0;
}

int big_decimal_digits(const big_decimal *b, char *out) {
    int count = 0;
    uint32_t top = b->word[b->size - 1];
    char reversed[10];
    int n = 0;
    do {
        reversed[n++] = (char)('0' + top % 10);
        top /= 10;
    } while (top != 0);
    while (n > 0)
        out[count++] = reversed[--n];
    for (int i = b->size - 2; i >= 0; i--) {
        uint32_t word = b->word[i];
        for (int d = 8; d >= 0; d--) {
            out[count + d] = (char)('0' + word % 10);
            word /= 10;
        }
        count += 9;
    }
    return count;
}
