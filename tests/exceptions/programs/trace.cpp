#include "trace.h"

#include <stddef.h>

namespace {
char gTrace[8192];
size_t gTraceLength;
void (*gSink)(const char *);
} // namespace

extern "C" const char *trace_text() {
    return gTrace;
}

extern "C" void trace_clear() {
    gTraceLength = 0;
    gTrace[0] = '\0';
}

extern "C" void trace_set_sink(void (*sink)(const char *)) {
    gSink = sink;
}

void trace(const char *token) {
    if (gSink)
        gSink(token);
    for (; *token != '\0' && gTraceLength + 1 < sizeof gTrace; ++token)
        gTrace[gTraceLength++] = *token;
    gTrace[gTraceLength] = '\0';
}

// The frame record as clang lays it out for the SjLj model.
struct FrameRecord {
    FrameRecord *prev;
    int callSite;
    unsigned data[4];
    void *personality;
    const void *lsda;
    void *jumpBuffer[5];
};

extern "C" void _Unwind_SjLj_Register(FrameRecord *);
extern "C" void _Unwind_SjLj_Unregister(FrameRecord *);

int registered_frames() {
    FrameRecord probe{};
    _Unwind_SjLj_Register(&probe);
    int count = 0;
    for (FrameRecord *record = probe.prev; record != nullptr && count < 100000; record = record->prev)
        ++count;
    _Unwind_SjLj_Unregister(&probe);
    return count;
}
