// Throwing, catching, matching, unwinding and rethrowing as ordinary C++ code does it.
#include "trace.h"

#include <stdint.h>

namespace {

struct Other { int value; };
Other gOther{42};
int gObject = 5;
const char kText[] = "text";

// A single-inheritance chain Leaf -> Mid -> Base, and classes with several or virtual
// bases, which the runtime matches only as themselves.
struct Base { int b = 1; };
struct Mid : Base {};
struct Leaf : Mid {};
struct Left {};
struct Right {};
struct Both : Left, Right {};
struct Root { int root = 7; virtual ~Root() {} };
struct LeftV : virtual Root {};
struct RightV : virtual Root {};
struct Diamond : LeftV, RightV { ~Diamond() override { trace("~Diamond "); } };


template <class T>
void throw_and_match() {
    try { throw T(); } catch (Other &) { trace("Other "); } catch (Mid &) { trace("Mid "); } catch (Base &) { trace("Base "); }
}

template <class T>
int caught_as_itself(T value) {
    try { throw value; } catch (T caught) { return caught == value; }
    return 0;
}

template <class... T>
void each_caught_as_itself(T... values) {
    int bits = 0, bit = 0;
    ((bits |= caught_as_itself(values) << bit++), ...);
    trace("%x", bits);
}

struct Holder {
    int field = 9;
    int get() const { return field; }
};
struct alignas(16) Wide { char bytes[100]; };

} // namespace

SCENARIO(catch_by_reference_value_and_pointer) {
    try { throw_error(7); } catch (const Error &e) { trace("ref %d ", e.code); }
    try { throw_error(8); } catch (Error e) { trace("value %d ", e.code); }
    try { throw &gOther; } catch (Other *o) { trace("pointer %d ", o == &gOther ? o->value : -1); }
    try { throw_error(3); } catch (int) { trace("int "); } catch (...) { trace("all "); }
}

// Standard C++ would let a base clause catch a class with several or virtual bases.
#pragma clang diagnostic ignored "-Wexceptions"
SCENARIO(classes_match_along_single_inheritance) {
    throw_and_match<Leaf>(); // the first of two accepting clauses
    throw_and_match<Base>(); // a Base is not a Mid
    try { throw Leaf(); } catch (Base &b) { trace("grandparent %d ", b.b); }
    try { throw Both(); } catch (Left &) { trace("Left "); } catch (Both &) { trace("Both "); }
    try { throw Diamond(); } catch (Root &) { trace("Root "); } catch (Diamond &d) { trace("Diamond %d ", d.root); }
}

SCENARIO(fundamental_types_are_caught_as_themselves) {
    each_caught_as_itself(true, 'c', static_cast<signed char>(-4), static_cast<unsigned char>(200), L'w', u8'8', u'x',
                          U'y', static_cast<short>(-3), static_cast<unsigned short>(3), -7, 8U, -4L, 5UL, -6LL, 7ULL,
                          static_cast<__int128>(-9), static_cast<unsigned __int128>(9), 1.5f, 2.5, 3.5L, nullptr,
                          static_cast<void *>(&gObject), static_cast<const void *>(&gObject));
    // Types that convert into each other are distinct catch types.
    try { throw 1234; } catch (long) { trace(" long"); } catch (unsigned) { trace(" unsigned"); } catch (int v) { trace(" int %d", v); }
    try { throw 2.5; } catch (float) { trace(" float"); } catch (double) { trace(" double"); }
    try { throw 'c'; } catch (signed char) { trace(" signed char"); } catch (char) { trace(" char"); }
    try { throw &gObject; } catch (const int *) { trace(" const int*"); } catch (int *p) { trace(" int* %d", *p); }
}

// The handler sees the thrown pointer itself; a pointer caught by reference is read 32
// bytes past the exception pointer that the landing pad received.
SCENARIO(pointers_references_and_other_kinds_of_values) {
    try { throw 77; } catch (const int &v) { trace("%d ", v); }
    try { throw kText; } catch (const char *s) { trace("%s ", s == kText ? s : "copy"); }
    try { throw &gObject; } catch (int *&p) { trace("%d ", p == &gObject ? *p : -1); }
    try { throw &Holder::get; } catch (int (Holder::*m)() const) { trace("method %d ", (Holder{}.*m)()); }
    try {
        Wide w{};
        w.bytes[99] = 42;
        throw w;
    } catch (Wide &w) {
        trace("aligned %d %d", static_cast<int>(reinterpret_cast<uintptr_t>(&w) % 16), w.bytes[99]);
    }
}

namespace {
__attribute__((noinline)) void innermost() {
    Tracer t{"~3 "};
    throw_error(9);
}
__attribute__((noinline)) void middle() {
    Tracer t{"~2 "};
    innermost();
    trace("unreached ");
}
// A registered frame whose throwing call lies outside its try block: passed, not entered.
__attribute__((noinline)) void uncovered_call() {
    try { trace("covered "); } catch (...) { trace("unreached "); }
    Tracer t{"~uncovered "};
    throw_error(11);
}
int gCleanups;
struct Counted { ~Counted() { ++gCleanups; } };
__attribute__((noinline)) int recurse(int depth) {
    Counted c;
    if (depth > 0)
        return recurse(depth - 1) + 1;
    throw_error(20);
    return 0;
}
} // namespace

SCENARIO(cleanups_run_innermost_first) {
    try {
        Tracer t{"~1 "};
        middle();
    } catch (Error &e) {
        trace("caught %d ", e.code);
    }
    try { uncovered_call(); } catch (Error &) { trace("passed "); }
    gCleanups = 0;
    try { recurse(500); } catch (Error &e) { trace("%d cleanups ", gCleanups); }
}

namespace {
__attribute__((noinline)) void rethrow_from_handler() {
    try {
        throw_error(13);
    } catch (...) {
        Tracer t{"~handler "};
        throw;
    }
}
__attribute__((noinline)) void rethrow_chain(int depth) {
    try { depth == 0 ? throw_error(16) : rethrow_chain(depth - 1); } catch (Error &) { throw; }
}
} // namespace

SCENARIO(rethrown_objects_are_destroyed_once) {
    try {
        try { throw_error(12); } catch (Error &) { trace("inner "); throw; }
    } catch (Error &e) {
        trace("outer %d ", e.code);
    }
    try { rethrow_from_handler(); } catch (Error &e) { trace("outer %d ", e.code); }
    // The outer catch still owns an object rethrown and caught inside it.
    try {
        throw_error(14);
    } catch (...) {
        try { throw; } catch (...) { trace("inner "); }
        trace("outer ");
    }
    try { rethrow_chain(50); } catch (Error &e) { trace("chain %d ", e.code); }
}

SCENARIO(exceptions_inside_catch_blocks) {
    try {
        throw_error(18);
    } catch (Error &outer) {
        try { throw_error(19); } catch (Error &inner) { trace("%d %d ", outer.code, inner.code); }
    }
    try {
        try {
            throw_error(1);
        } catch (Error &) {
            try { throw_error(2); } catch (Error &) { trace("second "); }
            throw;
        }
    } catch (Error &e) {
        trace("outer %d ", e.code);
    }
}

// Nothing catches: the machine stops before any cleanup runs.
STOPS_THE_MACHINE(throw_uncaught) {
    Tracer t{"cleanup "};
    trace("throwing ");
    throw_error(21);
}

STOPS_THE_MACHINE(rethrow_uncaught) {
    Tracer t{"cleanup "};
    try {
        throw_error(23);
    } catch (Error &) {
        Tracer inHandler{"handler-cleanup "};
        trace("rethrowing ");
        throw;
    }
}

namespace {
__attribute__((noinline)) void must_not_throw() noexcept { throw_error(22); }
} // namespace

STOPS_THE_MACHINE(noexcept_violation) {
    try { must_not_throw(); } catch (...) { trace("caught "); }
}
