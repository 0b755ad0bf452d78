/* The shell's number conversions in a program of their own, for the benchmarks to call. */
#include "number_format.h"
#include "number_read.h"

int main(void) {
    char text[8];
    return lorrinlua_snprintf(text, sizeof text, "%g", lorrinlua_strtod("1", NULL)) != 1;
}
