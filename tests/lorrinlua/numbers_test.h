// The fixture of the shell's number conversion tests: the program that carries them,
// loaded beside the library, and random numbers of the kinds that matter, compared with
// the host's C library. LORRINLUA_NUMBERS_COUNT sets how many values each test tries.
#pragma once

#include "tests/support/library_test.h"

#include <cstdarg>
#include <cstdint>
#include <random>
#include <string>

namespace lbw::test {

using SnprintfFn = int(char *, size_t, const char *, ...);
using VsnprintfFn = int(char *, size_t, const char *, va_list);
using StrtodFn = double(const char *, char **);

class NumbersTest : public LibraryTest {
protected:
    void SetUp() override;

    // Values per test: the environment's LORRINLUA_NUMBERS_COUNT, else `fallback`.
    static long count(long fallback);

    uint64_t below(uint64_t n) { return random() % n; }
    // A double of a random kind: any bit pattern, a short decimal, a power of ten or just
    // below one, a dyadic value with few bits (ties in fixed notation), a subnormal, an
    // extreme.
    double any_double();
    // A string of `n` random decimal digits.
    std::string digits(size_t n);

    std::mt19937_64 random{20260420};
    SnprintfFn *snprintf_ = nullptr;
    VsnprintfFn *vsnprintf_ = nullptr;
    StrtodFn *strtod_ = nullptr;
    int (*main_)() = nullptr;
};

std::string describe(double v);

} // namespace lbw::test
