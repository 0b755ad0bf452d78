// The exception scenarios of the benchmarks, one source compiled twice: for the library
// (SjLj frames) and, as the reference, by g++ for the host (table-driven unwinding).
// Every frame between the throw and the catch holds an object with a destructor.

namespace {

struct Error {
    int code;
};

volatile int gDestroyed;

struct Cleanup {
    ~Cleanup() { gDestroyed = gDestroyed + 1; }
};

__attribute__((noinline)) void descend(int frames) {
    Cleanup guard;
    if (frames <= 1)
        throw Error{frames};
    descend(frames - 1);
    __asm__ volatile(""); // keeps the recursive call a real call
}

// Does not throw, but the compiler cannot know: callers keep their landing pads.
__attribute__((noinline)) int may_throw(int value) {
    if (value < 0)
        throw Error{value};
    return value + 1;
}

} // namespace

// A throw caught `frames` frames up, each frame on the way running a destructor.
extern "C" __attribute__((visibility("default"))) int bench_throw_caught(int frames) {
    try {
        descend(frames);
    } catch (const Error &error) {
        return error.code;
    }
    return -1;
}

// A call through a frame with a landing pad (a destructor to run) that does not throw.
extern "C" __attribute__((visibility("default"))) __attribute__((noinline)) int bench_call_without_throw(int value) {
    Cleanup guard;
    return may_throw(value);
}
