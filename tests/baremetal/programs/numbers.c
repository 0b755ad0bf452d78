/* numbers: floating-point and number-parsing results printed one a line, to be compared
 * between the bare machine and the substitute host: the library's SSE arithmetic must
 * give the same bits on both. */
#include <lorrinboot.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void line(const char *name, double value) {
    char text[96];
    union {
        double d;
        unsigned long long bits;
    } u = {value};
    snprintf(text, sizeof text, "%s = %f (bits %x %x)\n", name, value, (unsigned)(u.bits >> 32), (unsigned)u.bits);
    lm_lua_write(text, strlen(text));
}

int main(void) {
    volatile double one = 1.0, two = 2.0, ten = 10.0;
    line("sin(1)", sin(one));
    line("cos(2)", cos(two));
    line("sqrt(2)", sqrt(two));
    line("pow(2, 0.5)", pow(two, 0.5));
    line("log(10)", log(ten));
    line("fmod(10, 3)", fmod(ten, 3.0));
    line("floor(-2.5)", floor(-2.5 * one));
    line("ldexp(1, -3)", ldexp(one, -3));
    line("sinf(1)", (double)sinf((float)one));
    line("powf(2, 10)", (double)powf((float)two, 10.0f));
    line("strtod(\"3.25e2\")", strtod("3.25e2", NULL));
    line("strtod(\"0.1\")", strtod("0.1", NULL));
    line("1 / 3", one / 3.0);
    line("strtol(\"-0x7f\")", (double)strtol("-0x7f", NULL, 0));
    return 0;
}
