/* The shell's number conversions in a program of their own, for the tests to call. */
#include "number_format.h"
#include "number_read.h"

#include <string.h>

/* Reads 0.1 and prints it back: 0 when that gives the same text. */
int main(void) {
    char text[32];
    lorrinlua_snprintf(text, sizeof text, "%.14g", lorrinlua_strtod("0.1", NULL));
    return strcmp(text, "0.1") != 0;
}
