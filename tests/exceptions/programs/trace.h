// Each scenario of the exceptions program is an exported function that leaves what ran,
// in order, in a trace the test reads (echoed to a sink the test may install, so that a
// death test sees it on stderr).
#pragma once

extern "C" {
const char *trace_text();
void trace_clear();
void trace_set_sink(void (*sink)(const char *));
}

void trace(const char *format, ...) __attribute__((format(printf, 1, 2)));

#define SCENARIO(name) extern "C" void name()

// Leaves its token in the trace when destroyed: a cleanup that must run.
struct Tracer {
    const char *token;
    ~Tracer() { trace("%s", token); }
};

// A thrown class whose copies and destruction show in the trace.
struct Error {
    int code;
    explicit Error(int c) : code(c) {}
    Error(const Error &other) : code(other.code) { trace("copy "); }
    ~Error() { trace("~Error "); }
};

// Throws Error(code) from a frame of its own when `which` is `code`.
void maybe_throw(int which, int code);
inline void throw_error(int code) {
    maybe_throw(code, code);
}

// The frame records registered now.
int registered_frames();
