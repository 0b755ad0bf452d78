// Throwing and catching as ordinary C++ code does it, compiled for the SjLj model.
#include "trace.h"

#include <stddef.h>

namespace {

struct Other {
    int value;
};

// A single-inheritance chain: Leaf -> Mid -> Base.
struct Base {
    int b = 1;
};
struct Mid : Base {
    int m = 2;
};
struct Leaf : Mid {
    int l = 3;
};

// Two bases: caught only as itself.
struct Left {
    int l = 4;
};
struct Right {
    int r = 5;
};
struct Both : Left, Right {
    int both = 6;
};

Other gStaticOther{42};

// A hierarchy with virtual destructors, as error classes usually are.
struct Failure {
    virtual ~Failure() { trace("~Failure "); }
    virtual int what() const { return 1; }
};
struct DiskFailure : Failure {
    ~DiskFailure() override { trace("~DiskFailure "); }
    int what() const override { return 2; }
};

__attribute__((noinline)) void throw_error(int code) {
    throw Error(code);
}

__attribute__((noinline)) void throw_leaf() {
    throw Leaf();
}

} // namespace

extern "C" {

int catch_by_reference() {
    try {
        throw_error(7);
    } catch (const Error &e) {
        trace("caught ");
        return e.code;
    }
    return -1;
}

int catch_by_value() {
    try {
        throw_error(8);
    } catch (Error e) {
        trace("caught ");
        return e.code;
    }
    return -1;
}

// The handler sees the thrown pointer's value.
int catch_by_pointer() {
    try {
        throw &gStaticOther;
    } catch (Other *o) {
        return o == &gStaticOther ? o->value : -2;
    }
    return -1;
}

int catch_polymorphic() {
    try {
        throw DiskFailure();
    } catch (const Failure &f) {
        trace("caught ");
        return f.what();
    }
    return -1;
}

int catch_leaf_as_base() {
    try {
        throw_leaf();
    } catch (Base &b) {
        return b.b;
    }
    return -1;
}

// Standard C++ would let the first clause catch: the runtime matches only along single
// inheritance, so a class with two bases is caught only by its own clause.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wexceptions"
int catch_multiple_inheritance() {
    try {
        throw Both();
    } catch (Left &) {
        return 1;
    } catch (Right &) {
        return 2;
    } catch (Both &b) {
        return b.both;
    }
    return -1;
}
#pragma clang diagnostic pop

int catch_all() {
    try {
        throw_error(3);
    } catch (int) {
        return 1;
    } catch (...) {
        trace("all ");
        return 2;
    }
    return -1;
}

// A Leaf is accepted by the Mid and the Base clause: the first wins. A Base is not
// accepted as a Mid.
int first_matching_clause(int throwBase) {
    try {
        if (throwBase)
            throw Base();
        throw_leaf();
    } catch (Other &) {
        return 0;
    } catch (Mid &m) {
        return m.b * 10 + m.m;
    } catch (Base &b) {
        return b.b;
    }
    return -1;
}

namespace {
__attribute__((noinline)) void innermost() {
    Tracer t("~3 ");
    throw_error(9);
}
__attribute__((noinline)) void middle() {
    Tracer t("~2 ");
    innermost();
    trace("unreached ");
}
} // namespace

int cleanups_innermost_first() {
    try {
        Tracer t("~1 ");
        middle();
    } catch (Error &e) {
        trace("caught ");
        return e.code;
    }
    return -1;
}

// A registered frame whose throwing call lies outside every try block: the unwind
// phase passes it without entering it.
namespace {
__attribute__((noinline)) void cleanup_only() {
    Tracer t("~inner ");
    throw_error(11);
}
__attribute__((noinline)) void uncovered_call() {
    try {
        trace("covered ");
    } catch (...) {
        trace("unreached ");
    }
    cleanup_only();
    trace("unreached ");
}
} // namespace

int frames_left_in_handler() {
    try {
        uncovered_call();
    } catch (Error &e) {
        trace("caught ");
        return registered_frames() * 100 + e.code;
    }
    return -1;
}

int rethrow_to_outer() {
    try {
        try {
            throw_error(12);
        } catch (Error &) {
            trace("inner ");
            throw;
        }
    } catch (Error &e) {
        trace("outer ");
        return e.code;
    }
    return -1;
}

namespace {
__attribute__((noinline)) void rethrow_from_handler() {
    try {
        throw_error(13);
    } catch (...) {
        Tracer t("~handler ");
        throw;
    }
}
} // namespace

int rethrow_across_frames() {
    try {
        rethrow_from_handler();
    } catch (Error &e) {
        trace("outer ");
        return e.code;
    }
    return -1;
}

// The rethrown object is caught again inside the catch block that holds it.
int rethrow_caught_inside_own_handler() {
    try {
        throw_error(14);
    } catch (...) {
        try {
            throw;
        } catch (...) {
            trace("inner ");
        }
        trace("outer ");
    }
    return 0;
}

int nested_rethrows() {
    try {
        try {
            throw_error(15);
        } catch (...) {
            try {
                throw;
            } catch (Error &) {
                trace("inner ");
                throw;
            }
        }
    } catch (Error &e) {
        trace("outer ");
        return e.code;
    }
    return -1;
}

// A second exception caught and ended while the first is still being handled.
int nested_handlers() {
    try {
        throw_error(18);
    } catch (Error &outer) {
        try {
            throw_error(19);
        } catch (Error &inner) {
            trace("inner ");
            return outer.code * 100 + inner.code;
        }
    }
    return -1;
}

namespace {
__attribute__((noinline)) int recurse(int depth, bool throwAtBottom) {
    Tracer t("~");
    if (depth == 0) {
        if (throwAtBottom)
            throw_error(20);
        return 0;
    }
    return recurse(depth - 1, throwAtBottom) + 1;
}
} // namespace

int deep_recursion(int depth, int throwAtBottom) {
    try {
        return recurse(depth, throwAtBottom != 0);
    } catch (Error &e) {
        return e.code;
    }
}

// Nothing catches: the machine stops before any cleanup runs.
int throw_uncaught() {
    Tracer t("cleanup ");
    trace("throwing ");
    throw_error(21);
    return 0;
}

namespace {
__attribute__((noinline)) void must_not_throw() noexcept {
    throw_error(22);
}
} // namespace

int noexcept_violation() {
    try {
        must_not_throw();
    } catch (...) {
        trace("caught ");
    }
    return 0;
}

// A rethrow that nothing catches stops the machine before the rethrowing catch block
// ends.
int rethrow_uncaught() {
    Tracer t("cleanup ");
    try {
        throw_error(23);
    } catch (Error &) {
        Tracer inHandler("handler-cleanup ");
        trace("rethrowing ");
        throw;
    }
    return 0;
}

} // extern "C"
