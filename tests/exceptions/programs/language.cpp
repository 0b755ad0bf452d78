// Code the compiler generates around the runtime: partly constructed objects, several
// landing pads in one function, throwing destructors, guarded statics, dynamic_cast and
// typeid; and setjmp/longjmp.
#include "trace.h"

#include <setjmp.h>
#include <typeinfo>

namespace {

// A member that throws from its constructor when asked to.
struct Part {
    const char *token;
    Part(const char *t, bool fail) : token(t) {
        maybe_throw(fail, true);
        trace("+%s", token);
    }
    ~Part() { trace("-%s", token); }
};
// The members built before one throws are destroyed in reverse; the destructor never runs.
struct Whole {
    Part a, b, c;
    explicit Whole(int failing) : a("a ", failing == 0), b("b ", failing == 1), c("c ", failing == 2) {
        trace("body ");
        maybe_throw(failing, 3);
    }
    ~Whole() { trace("~Whole "); }
};
struct Based { Part base{"base ", false}; };
struct Derived : Based { Part member{"member ", true}; };
struct Guarded {
    Part part;
    Guarded() try : part("p ", true) {} catch (Error &) { trace("ctor-handler "); } // rethrown implicitly
};

int several_landing_pads(int which) {
    try {
        Tracer t1{"~t1 "};
        maybe_throw(which, 1);
        {
            Tracer t2{"~t2 "};
            maybe_throw(which, 2);
            try {
                Tracer t3{"~t3 "};
                maybe_throw(which, 3);
            } catch (int) {
                return -1;
            }
            maybe_throw(which, 4);
        }
        maybe_throw(which, 5);
    } catch (Error &e) {
        return e.code;
    }
    return 0;
}

struct ThrowingDestructor {
    ~ThrowingDestructor() noexcept(false) {
        trace("~throwing ");
        throw_error(30);
    }
};

// Statics with destructors hand them to __cxa_atexit (with this program's __dso_handle):
// the global at load time, the local once built. Neither ever runs.
Tracer gGlobal{"~global "};
int gStaticTries = 0;
struct Fickle {
    int value = ++gStaticTries;
    Fickle() { maybe_throw(gStaticTries, 1); }
    ~Fickle() { trace("~Fickle "); }
};
__attribute__((noinline)) int fickle_value() {
    static Fickle fickle;
    return fickle.value;
}

struct Shape { virtual int kind() const { return 1; } };
struct Polygon : Shape { int kind() const override { return 2; } };
struct Square : Polygon { int kind() const override { return 3; } };
struct Circle : Shape {};
struct Named { virtual ~Named() {} };
struct Tile : Shape, Named {};
struct Spread : virtual Named, virtual Shape {};
// Objects whose Shape part is not a public base: a dynamic_cast from it gives null.
struct Private : private Shape { Shape *shape() { return this; } };
struct Protected : protected Shape { Shape *shape() { return this; } };
struct PrivateSecond : Named, private Shape { Shape *shape() { return this; } };
struct ThroughPrivate : Private {};
Square gSquare;
Circle gCircle;
Tile gTile;
Spread gSpread;
Private gPrivate;
Protected gProtected;
PrivateSecond gPrivateSecond;
ThroughPrivate gThroughPrivate;

template <class To, class From>
__attribute__((noinline)) To *cast(From *from) {
    return dynamic_cast<To *>(from);
}
__attribute__((noinline)) const std::type_info &type_of(Shape *s) {
    return typeid(*s);
}

jmp_buf gJump;
__attribute__((noinline)) void jump_from_depth(int depth, int value) {
    volatile char padding[64];
    padding[0] = static_cast<char>(depth);
    if (depth == 0)
        longjmp(gJump, value + padding[0]);
    jump_from_depth(depth - 1, value);
}
// setjmp's second return after a longjmp with `value` from `depth` calls down; a local
// changed between the two returns keeps its change.
int setjmp_result(int value, int depth) {
    volatile int local = 1000;
    int result = setjmp(gJump);
    if (result == 0) {
        local = 2000;
        jump_from_depth(depth, value);
    }
    return local == 2000 ? result : -2;
}

} // namespace

SCENARIO(partly_constructed_objects_destroy_their_built_members) {
    for (int failing = 0; failing < 4; failing += 2 - failing / 2) { // 0, 2, 3
        try { Whole whole(failing); } catch (Error &e) { trace("caught %d| ", e.code); }
    }
    try { delete new Whole(3); } catch (Error &e) { trace("on the heap| "); }
    try { Derived d; } catch (Error &) { trace("derived| "); }
    try { Guarded g; } catch (Error &) { trace("guarded"); }
}

SCENARIO(each_call_site_has_its_own_pad) {
    for (int which = 0; which <= 5; ++which)
        trace("=%d| ", several_landing_pads(which));
}

SCENARIO(a_destructor_that_throws_from_a_handler) {
    // Leaving a catch-all block through a throwing destructor ends the first exception.
    try {
        try { throw_error(1); } catch (...) { ThrowingDestructor d; trace("handling "); }
    } catch (Error &e) {
        trace("outer %d| ", e.code);
    }
}

// A static whose initialisation throws is initialised again on the next call, and only then.
SCENARIO(statics_initialised_again_after_a_throw) {
    try { fickle_value(); } catch (Error &) { trace("first failed "); }
    trace("%d %d %d", fickle_value(), fickle_value(), gStaticTries);
}

SCENARIO(dynamic_cast_and_typeid) {
    Shape *square = &gSquare, *circle = &gCircle, *none = nullptr;
    Named *named = &gTile;
    Polygon *up = cast<Polygon>(square); // to an intermediate ancestor
    bool checks[] = {cast<Square>(square) == &gSquare, up == &gSquare && up->kind() == 3,
                     cast<Square>(static_cast<Shape *>(up)) == &gSquare, cast<Circle>(square) == nullptr,
                     cast<Polygon>(circle) == nullptr, cast<Square>(none) == nullptr,
                     cast<Tile>(named) == &gTile,   // a second base back to the complete object
                     cast<Shape>(named) == nullptr, // across two bases: not followed
                     cast<Spread>(static_cast<Shape *>(&gSpread)) == &gSpread, // from a virtual base
                     cast<Private>(gPrivate.shape()) == nullptr,
                     cast<Protected>(gProtected.shape()) == nullptr,
                     cast<PrivateSecond>(gPrivateSecond.shape()) == nullptr,
                     cast<ThroughPrivate>(gThroughPrivate.shape()) == nullptr,
                     dynamic_cast<void *>(named) == static_cast<void *>(&gTile), type_of(&gTile) == typeid(Tile),
                     type_of(square) == type_of(up), !(type_of(&gTile) == typeid(Square)),
                     !(type_of(square) == typeid(Shape))};
    for (bool check : checks)
        trace("%d", check);
    try {
        (void)dynamic_cast<Circle &>(*square);
    } catch (const std::bad_cast &error) {
        trace(" %s", error.what());
    }
    try { type_of(none); } catch (const std::exception &error) { trace(" %s", error.what()); }
}

SCENARIO(setjmp_returns_the_longjmp_value) {
    trace("%d %d %d ", setjmp_result(7, 0), setjmp_result(0, 0), setjmp_result(-3, 20));
    jmp_buf buffer;
    volatile int rounds = 0;
    int value = setjmp(buffer);
    rounds = rounds + 1;
    if (value < 3)
        longjmp(buffer, value + 1);
    trace("%d", rounds * 10 + value);
}

// A destructor throwing while another exception unwinds through it: terminate.
STOPS_THE_MACHINE(throw_from_destructor_during_unwind) {
    try {
        ThrowingDestructor d;
        throw_error(3);
    } catch (...) {
        trace("caught ");
    }
}

// A constructor that reaches a pure virtual function while the object is still abstract.
namespace {
struct Abstract {
    Abstract() { trace("%d", describe()); }
    virtual ~Abstract() = default;
    virtual int area() const = 0;
    __attribute__((noinline)) int describe() const { return area(); }
};
struct Concrete : Abstract { int area() const override { return 4; } };
} // namespace

STOPS_THE_MACHINE(pure_virtual_call) {
    Concrete concrete;
}
