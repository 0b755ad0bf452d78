// The same headers from C++: the declarations have C linkage.
#include <ctype.h>
#include <locale.h>
#include <lorrinboot.h>
#include <math.h>
#include <stdlib.h>

extern "C" int header_program_cxx_failures() {
    int failures = 0;
    failures += isalpha('x') == 1 ? 0 : 1;
    failures += localeconv() == localeconv() ? 0 : 1;
    failures += strtoll("-0x10", nullptr, 16) == -16 ? 0 : 1;
    failures += strtod("2e-1", nullptr) == 0.2 ? 0 : 1;
    failures += pow(2.0, -2.0) == 0.25 ? 0 : 1;
    failures += floorf(-0.5f) == -1.0f ? 0 : 1;
    failures += exp(-INFINITY) == 0.0 && atan2(-0.0, 1.0) == 0.0 ? 0 : 1;
    failures += __divdi3(7, -2) == -3 ? 0 : 1;
    return failures;
}
