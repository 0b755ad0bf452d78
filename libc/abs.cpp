// abs: the magnitude of an int.
#include "libc/library.h"

LM_EXPORT int abs(int v) {
    // Two's complement wrap: abs(INT_MIN) is INT_MIN.
    return v < 0 ? static_cast<int>(0u - static_cast<unsigned>(v)) : v;
}
