// Values of fundamental types thrown and caught: their type_info objects come from the
// library.
#include "trace.h"

#include <stddef.h>

namespace {
const char kText[] = "text";
int gObject = 5;
} // namespace

extern "C" {

int catch_int() {
    try {
        throw 1234;
    } catch (long) {
        return -2;
    } catch (unsigned) {
        return -3;
    } catch (int v) {
        return v;
    }
    return -1;
}

int catch_int_by_const_reference() {
    try {
        throw 77;
    } catch (const int &v) {
        return v;
    }
    return -1;
}

// The handler receives the pointer that was thrown, not where it was stored.
int catch_string_literal() {
    try {
        throw kText;
    } catch (const char *s) {
        return s == kText ? 1 : -2;
    }
    return -1;
}

// In standard C++ the first clause would catch: the runtime matches pointers by name.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wexceptions"
int catch_pointer_to_int() {
    try {
        throw &gObject;
    } catch (const int *) {
        return -2; // a differently qualified pointer is another type
    } catch (int *p) {
        return p == &gObject ? *p : -3;
    }
    return -1;
}
#pragma clang diagnostic pop

int catch_double() {
    try {
        throw 2.5;
    } catch (float) {
        return -2;
    } catch (double d) {
        return static_cast<int>(d * 10);
    }
    return -1;
}

int catch_char_types() {
    int score = 0;
    try {
        throw 'c';
    } catch (signed char) {
        return -2;
    } catch (char c) {
        score += c == 'c';
    }
    try {
        throw static_cast<unsigned char>(200);
    } catch (unsigned char c) {
        score += c == 200;
    }
    try {
        throw u'x';
    } catch (char16_t c) {
        score += c == u'x';
    }
    try {
        throw U'y';
    } catch (char32_t c) {
        score += c == U'y';
    }
    try {
        throw L'z';
    } catch (wchar_t c) {
        score += c == L'z';
    }
    return score;
}

int catch_integer_types() {
    int score = 0;
    try {
        throw static_cast<short>(-3);
    } catch (short v) {
        score += v == -3;
    }
    try {
        throw static_cast<unsigned short>(3);
    } catch (unsigned short v) {
        score += v == 3;
    }
    try {
        throw 4L;
    } catch (long v) {
        score += v == 4;
    }
    try {
        throw 5UL;
    } catch (unsigned long v) {
        score += v == 5;
    }
    try {
        throw 6LL;
    } catch (long long v) {
        score += v == 6;
    }
    try {
        throw 7ULL;
    } catch (unsigned long long v) {
        score += v == 7;
    }
    try {
        throw 8U;
    } catch (unsigned v) {
        score += v == 8;
    }
    try {
        throw true;
    } catch (bool v) {
        score += v;
    }
    return score;
}

int catch_other_types() {
    int score = 0;
    try {
        throw 1.5f;
    } catch (float v) {
        score += v == 1.5f;
    }
    try {
        throw 2.5L;
    } catch (long double v) {
        score += v == 2.5L;
    }
    try {
        throw nullptr;
    } catch (decltype(nullptr)) {
        score += 1;
    }
    try {
        throw static_cast<void *>(&gObject);
    } catch (void *p) {
        score += p == &gObject;
    }
    try {
        throw static_cast<const void *>(&gObject);
    } catch (const void *p) {
        score += p == &gObject;
    }
    return score;
}

} // extern "C"
