#include "trace.h"

#include "cxxabi/sjlj_abi.h"

#include <stdarg.h>
#include <stdio.h>

namespace {
char gTrace[4096];
size_t gLength;
void (*gSink)(const char *);
} // namespace

extern "C" const char *trace_text() {
    return gTrace;
}

extern "C" void trace_clear() {
    gLength = 0;
    gTrace[0] = '\0';
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
    if (n > 0)
        gLength = gLength + n < sizeof gTrace ? gLength + n : sizeof gTrace - 1;
    if (gSink)
        gSink(end);
}

__attribute__((noinline)) void maybe_throw(int which, int code) {
    if (which == code)
        throw Error(code);
}

extern "C" void _Unwind_SjLj_Register(LorrinSjLjContext *);
extern "C" void _Unwind_SjLj_Unregister(LorrinSjLjContext *);

int registered_frames() {
    LorrinSjLjContext probe{};
    _Unwind_SjLj_Register(&probe);
    int count = 0;
    for (LorrinSjLjContext *record = probe.prev; record != nullptr && count < 100000; record = record->prev)
        ++count;
    _Unwind_SjLj_Unregister(&probe);
    return count;
}
