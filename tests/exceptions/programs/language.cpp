// Language features whose code the compiler generates around the runtime: partly
// constructed objects, several landing pads in one function, throwing destructors, array
// cookies, guarded statics, virtual bases, other kinds of thrown values.
#include "trace.h"

#include <stddef.h>

namespace {

// A member that throws from its constructor when asked to.
struct Part {
    const char *token;
    Part(const char *t, bool fail) : token(t) {
        if (fail)
            throw Error(1);
        trace("+");
        trace(token);
    }
    ~Part() {
        trace("-");
        trace(token);
    }
};

// Members a and b are built before c throws: only they are destroyed, in reverse.
struct Whole {
    Part a, b, c, d;
    explicit Whole(int failing)
        : a("a ", failing == 0), b("b ", failing == 1), c("c ", failing == 2), d("d ", failing == 3) {
        trace("body ");
        if (failing == 4)
            throw Error(2);
    }
    ~Whole() { trace("~Whole "); }
};

struct Base {
    Part base{"base ", false};
};
// The base is complete before the member throws: it is destroyed too.
struct Derived : Base {
    Part member;
    explicit Derived(bool fail) : member("member ", fail) {}
};

__attribute__((noinline)) void maybe_throw(int which, int code) {
    if (which == code)
        throw Error(code);
}

} // namespace

extern "C" {

// On the heap, the storage of the new-expression goes back to the heap too.
int partly_constructed(int failing, int onHeap) {
    try {
        if (onHeap)
            delete new Whole(failing);
        else
            Whole whole(failing);
        trace("built ");
        return 0;
    } catch (Error &e) {
        trace("caught ");
        return e.code;
    }
}

int partly_constructed_derived() {
    try {
        Derived d(true);
        return 0;
    } catch (Error &e) {
        trace("caught ");
        return e.code;
    }
}

// One function, several calls with different cleanups and handlers in scope.
int several_landing_pads(int which) {
    int result = 0;
    try {
        Tracer t1("~t1 ");
        maybe_throw(which, 1);
        {
            Tracer t2("~t2 ");
            maybe_throw(which, 2);
            try {
                Tracer t3("~t3 ");
                maybe_throw(which, 3);
            } catch (int) {
                result = -1;
            }
            maybe_throw(which, 4);
        }
        maybe_throw(which, 5);
    } catch (Error &e) {
        trace("caught ");
        result = e.code;
    }
    return result;
}

int nested_try_blocks(int which) {
    int result = 0;
    try {
        try {
            try {
                maybe_throw(which, 1);
            } catch (Error &e) {
                trace("inner ");
                if (e.code == 1)
                    maybe_throw(which + 1, 2);
            }
            maybe_throw(which, 3);
        } catch (Error &e) {
            trace("middle ");
            result += e.code * 10;
            maybe_throw(which, 3);
        }
    } catch (Error &e) {
        trace("outer ");
        result += e.code * 100;
    }
    return result;
}

namespace {
// A destructor that may throw: it does, when its flag says so.
struct ThrowingDestructor {
    bool fail;
    ~ThrowingDestructor() noexcept(false) {
        trace("~throwing ");
        if (fail)
            throw Error(30);
    }
};
// A destructor that throws and catches inside itself while an exception is in flight.
struct QuietDestructor {
    ~QuietDestructor() {
        try {
            maybe_throw(40, 40);
        } catch (Error &) {
            trace("quiet ");
        }
    }
};
} // namespace

// The destructor of a local of a catch-all block throws when the block ends: the first
// exception ends, the second reaches the outer handler.
int throw_from_destructor_in_catch_all() {
    try {
        try {
            maybe_throw(1, 1);
        } catch (...) {
            ThrowingDestructor d{true};
            trace("handling ");
        }
    } catch (Error &e) {
        trace("outer ");
        return e.code;
    }
    return -1;
}

int throw_and_catch_inside_destructor_during_unwind() {
    try {
        QuietDestructor q;
        Tracer t("~t ");
        maybe_throw(2, 2);
    } catch (Error &e) {
        trace("caught ");
        return e.code;
    }
    return -1;
}

// A destructor throwing while another exception unwinds through it: terminate.
int throw_from_destructor_during_unwind() {
    try {
        ThrowingDestructor d{true};
        maybe_throw(3, 3);
    } catch (...) {
        trace("caught ");
    }
    return -1;
}

namespace {
// Virtual inheritance: the class is described as having several or virtual bases.
struct Root {
    int root = 7;
    virtual ~Root() {}
};
struct LeftV : virtual Root {
    int left = 1;
};
struct RightV : virtual Root {
    int right = 2;
};
struct Diamond : LeftV, RightV {
    int diamond = 3;
    ~Diamond() override { trace("~Diamond "); }
};
} // namespace

// Standard C++ would let the first clause catch: a class with virtual bases is caught
// only as itself.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wexceptions"
int catch_virtual_base_class() {
    try {
        throw Diamond();
    } catch (Root &) {
        return -2;
    } catch (LeftV &) {
        return -3;
    } catch (Diamond &d) {
        trace("caught ");
        return d.root * 1000 + d.left * 100 + d.right * 10 + d.diamond;
    }
    return -1;
}
#pragma clang diagnostic pop

namespace {
struct Counted {
    int value;
    static int live;
    Counted() : value(live++) { trace("+"); }
    ~Counted() {
        --live;
        trace("-");
    }
};
int Counted::live = 0;

// Throws on the construction of its `failAt`th element.
struct Fragile {
    static int made;
    static int failAt;
    Fragile() {
        if (made == failAt)
            throw Error(50);
        ++made;
        trace("+");
    }
    ~Fragile() { trace("-"); }
};
int Fragile::made = 0;
int Fragile::failAt = -1;
} // namespace

// new[] of a class with a destructor stores the count in front of the elements.
int array_cookie(int count) {
    Counted *items = new Counted[count];
    int sum = 0;
    for (int i = 0; i < count; ++i)
        sum += items[i].value;
    delete[] items;
    return sum * 100 + Counted::live;
}

// An element constructor throws: the built ones are destroyed and the block is freed.
int array_constructor_throws(int count, int failAt) {
    Fragile::made = 0;
    Fragile::failAt = failAt;
    try {
        Fragile *items = new Fragile[count];
        delete[] items;
        return 0;
    } catch (Error &e) {
        trace("caught ");
        return e.code;
    }
}

namespace {
int gStaticTries = 0;
struct Fickle {
    int value;
    Fickle() : value(++gStaticTries) {
        if (gStaticTries == 1)
            throw Error(60);
    }
};
__attribute__((noinline)) int fickle_value() {
    static Fickle fickle;
    return fickle.value;
}
} // namespace

// A static whose first initialisation throws is initialised again on the next call, and
// only then.
int static_initialisation_retried() {
    int first = 0;
    try {
        first = fickle_value();
    } catch (Error &e) {
        first = -e.code;
    }
    int second = fickle_value();
    int third = fickle_value();
    return (first == -60 && second == 2 && third == 2 && gStaticTries == 2) ? 1 : 0;
}

} // extern "C"

namespace {
struct Guarded {
    Part part;
    Guarded() try : part("p ", true) {
    } catch (Error &) {
        trace("ctor-handler ");
    } // rethrown implicitly
};
__attribute__((noinline)) void rethrow_chain(int depth) {
    try {
        if (depth == 0)
            throw Error(70);
        rethrow_chain(depth - 1);
    } catch (Error &) {
        throw;
    }
}
enum Colour { Red = 3, Green = 4 };
struct Holder {
    int field = 9;
    int get() const { return field; }
};
int free_function() { return 11; }
struct alignas(16) Wide {
    char bytes[100];
};
} // namespace

extern "C" {

int function_try_block() {
    try {
        Guarded g;
        return 0;
    } catch (Error &e) {
        trace("caught ");
        return e.code;
    }
}

int rethrow_after_nested_handler() {
    try {
        try {
            maybe_throw(1, 1);
        } catch (Error &) {
            try {
                maybe_throw(2, 2);
            } catch (Error &) {
                trace("second ");
            }
            throw;
        }
    } catch (Error &e) {
        trace("outer ");
        return e.code;
    }
    return -1;
}

int rethrow_through_levels(int depth) {
    try {
        rethrow_chain(depth);
    } catch (Error &e) {
        return e.code;
    }
    return -1;
}

int other_kinds() {
    int score = 0;
    try {
        throw Green;
    } catch (Colour c) {
        score |= (c == Green) << 0;
    }
    int Holder::*member = &Holder::field;
    try {
        throw member;
    } catch (int Holder::*m) {
        Holder h;
        score |= (h.*m == 9) << 1;
    }
    int (Holder::*method)() const = &Holder::get;
    try {
        throw method;
    } catch (int (Holder::*m)() const) {
        Holder h;
        score |= ((h.*m)() == 9) << 2;
    }
    try {
        throw &free_function;
    } catch (int (*f)()) {
        score |= (f() == 11) << 3;
    }
    try {
        Wide w{};
        w.bytes[99] = 42;
        throw w;
    } catch (Wide &w) {
        score |= (reinterpret_cast<unsigned long>(&w) % 16 == 0) << 4;
        score |= (w.bytes[99] == 42) << 5;
    }
    return score;
}

} // extern "C"
