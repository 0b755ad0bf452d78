#include "tests/lorrinlua/numbers_test.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace lbw::test {

void NumbersTest::SetUp() {
    LibraryTest::SetUp();
    void *program = lib().load_program(LBW_PROGRAM_LORRINLUA_NUMBERS_PROGRAM);
    auto symbol = [&](const char *name) { return simhost::LoadedLibrary::program_symbol(program, name); };
    snprintf_ = reinterpret_cast<SnprintfFn *>(symbol("lorrinlua_snprintf"));
    vsnprintf_ = reinterpret_cast<VsnprintfFn *>(symbol("lorrinlua_vsnprintf"));
    strtod_ = reinterpret_cast<StrtodFn *>(symbol("lorrinlua_strtod"));
    main_ = reinterpret_cast<int (*)()>(symbol("main"));
}

long NumbersTest::count(long fallback) {
    const char *text = std::getenv("LORRINLUA_NUMBERS_COUNT");
    return text ? std::atol(text) : fallback;
}

double NumbersTest::any_double() {
    double sign = below(2) ? -1 : 1;
    switch (below(9)) {
    case 0: { // a short decimal such as 12.375 or 4.2e-7, read by the host
        char text[64];
        std::snprintf(text, sizeof text, "%llu.%llue%d", static_cast<unsigned long long>(below(100000)),
            static_cast<unsigned long long>(below(1000)), static_cast<int>(below(40)) - 20);
        return sign * std::strtod(text, nullptr);
    }
    case 1:
        return sign * std::pow(10.0, static_cast<int>(below(630)) - 323);
    case 2: // few significant bits: exact halves, quarters, ... in fixed notation
        return sign * std::ldexp(static_cast<double>(below(1 << 12)), static_cast<int>(below(40)) - 20);
    case 3: { // subnormal
        uint64_t bits = random() & ((uint64_t{1} << 52) - 1);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return sign * v;
    }
    case 4: {
        const double extreme[] = {0.0, std::numeric_limits<double>::max(), std::numeric_limits<double>::min(),
            std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::infinity(),
            std::numeric_limits<double>::quiet_NaN(), std::nextafter(1.0, 2.0), std::nextafter(1.0, 0.0),
            9007199254740993.0, 0.5, 2.5, 1e15, 1e16, 1e17, 1e23, 9.999999999999999e22, 5e-324};
        return sign * extreme[below(std::size(extreme))];
    }
    case 8: // just below a power of ten, where rounding carries into a new digit: 999.5
        return sign * std::pow(10.0, static_cast<int>(below(40)) - 20) *
               (1 - 5 * std::pow(10.0, -static_cast<int>(below(17)) - 1));
    case 5: // integral values of every size
        return sign * std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(below(80)));
    default: {
        uint64_t bits = random();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    }
}

std::string NumbersTest::digits(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; i++)
        s.push_back(static_cast<char>('0' + below(10)));
    return s;
}

std::string describe(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%a", v);
    return text;
}

TEST_F(NumbersTest, ProgramRoundTripsATenth) {
    EXPECT_EQ(main_(), 0);
}

} // namespace lbw::test
