// What the scenarios did, in order: short tokens appended to a buffer the test reads, and
// echoed to a sink the test may install (a death test sees the echo on stderr).
#pragma once

extern "C" {
const char *trace_text();
void trace_clear();
void trace_set_sink(void (*sink)(const char *));
}

void trace(const char *token);

// Leaves its token in the trace when destroyed: a cleanup that must run.
struct Tracer {
    const char *token;
    explicit Tracer(const char *t) : token(t) {}
    ~Tracer() { trace(token); }
};

// A thrown class whose copies and destruction show in the trace.
struct Error {
    int code;
    explicit Error(int c) : code(c) {}
    Error(const Error &other) : code(other.code) { trace("copy "); }
    ~Error() { trace("~Error "); }
};

// The frame records registered now, counted through a probe record pushed on top.
int registered_frames();
