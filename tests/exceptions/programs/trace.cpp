#include "trace.h"

#include <lorrinboot.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

namespace {
char gTrace[2048];
size_t gLength;
void (*gSink)(const char *);
Scenario *gFirst, *gLast;
} // namespace

Scenario::Scenario(const char *n, void (*r)()) : name(n), run(r), next(nullptr) {
    (gLast ? gLast->next : gFirst) = this;
    gLast = this;
}

extern "C" int main() {
    for (Scenario *scenario = gFirst; scenario; scenario = scenario->next) {
        gLength = snprintf(gTrace, sizeof gTrace, "%s: ", scenario->name);
        scenario->run();
        lm_lua_write(gTrace, gLength);
        lm_lua_writeline();
    }
    return 0;
}

extern "C" void trace_set_sink(void (*sink)(const char *)) {
    gSink = sink;
}

void trace(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    char *end = gTrace + gLength;
    int n = vsnprintf(end, sizeof gTrace - gLength, format, arguments);
    va_end(arguments);
    gLength = n > 0 ? strlen(gTrace) : gLength;
    if (gSink)
        gSink(end);
}

__attribute__((noinline)) void maybe_throw(int which, int code) {
    if (which == code)
        throw Error(code);
}
