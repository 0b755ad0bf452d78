// The scenarios of the exceptions program: main runs each and prints its name and what
// it traced, in order. Scenarios that stop the machine are exported for the tests to
// call one by one, with the trace echoed to a sink (a death test's stderr).
#pragma once

void trace(const char *format, ...) __attribute__((format(printf, 1, 2)));
extern "C" void trace_set_sink(void (*sink)(const char *));

struct Scenario {
    const char *name;
    void (*run)();
    Scenario *next;
    Scenario(const char *n, void (*r)());
};
#define SCENARIO(name)                                                                                                 \
    static void name();                                                                                                \
    static Scenario name##_scenario(#name, name);                                                                      \
    static void name()
#define STOPS_THE_MACHINE(name) extern "C" void name()

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
