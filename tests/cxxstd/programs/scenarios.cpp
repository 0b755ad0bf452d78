// Scenarios of ordinary C++ that the tests call one at a time; each writes what it saw
// to the console, one line per observation.
#undef NDEBUG // release builds define it; the assertion scenarios choose for themselves
#include <cassert>
#include <cxxabi.h>
#include <exception>
#include <new>
#include <stdexcept>
#include <typeinfo>

#include <lorrinboot.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

[[gnu::format(printf, 1, 2)]] void line(const char *format, ...) {
    char text[200];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    lm_lua_write(text, strlen(text));
    lm_lua_write("\n", 1);
}

// Thrown from a frame of its own, so that the unwinder has frames to walk.
template <class E, class... Args>
[[gnu::noinline]] void raise(Args... args) {
    throw E(args...);
}

// The dynamic type's name as caught by the root class, then what() caught by the root
// class, by the class itself and by its parent. The texts are copied inside the handlers:
// a message goes with the last exception object that holds it.
template <class E, class Parent, class... Args>
void catch_three_ways(Args... args) {
    const char *name = "?";
    char asRoot[40] = "?", asItself[40] = "?", asParent[40] = "?";
    try {
        raise<E>(args...);
    } catch (const std::exception &error) {
        name = typeid(error).name();
        snprintf(asRoot, sizeof asRoot, "%s", error.what());
        try {
            throw;
        } catch (const E &same) {
            snprintf(asItself, sizeof asItself, "%s", same.what());
        }
    }
    try {
        raise<E>(args...);
    } catch (Parent &error) {
        snprintf(asParent, sizeof asParent, "%s", error.what());
    }
    line("%s %s %s %s", name, asRoot, asItself, asParent);
}

struct CountsInFlight {
    const char *where;
    ~CountsInFlight() { line("%s: %d in flight", where, std::uncaught_exceptions()); }
};

// Throws and catches inside a destructor that runs during unwinding.
struct ThrowsInsideDestructor {
    ~ThrowsInsideDestructor() {
        try {
            CountsInFlight inner{"inner destructor"};
            raise<std::range_error>("inner");
        } catch (const std::range_error &) {
            line("inner handler: %d in flight", std::uncaught_exceptions());
        }
    }
};

void terminate_handler() {
    line("terminate handler: %s", std::get_terminate() == terminate_handler ? "installed" : "?");
}

struct Base {
    virtual ~Base() = default;
    int base = 1;
};
struct Other {
    virtual ~Other() = default;
    int other = 2;
};
struct Public : Base {};
struct PublicSecond : Other, Base {};
struct PublicVirtual : virtual Other, virtual Base {};
struct Private : private Base {
    Base *base_part() { return this; }
};
struct Protected : protected Base {
    Base *base_part() { return this; }
};
struct PrivateSecond : Other, private Base {
    Base *base_part() { return this; }
};
struct ThroughPrivate : Private {};

// A down-cast from the Base part of `object`: its address, or null.
template <class To>
[[gnu::noinline]] const char *cast_from_base(To &object, Base *from) {
    To *result = dynamic_cast<To *>(from);
    return result == &object ? "object" : result == nullptr ? "null" : "elsewhere";
}

} // namespace

extern "C" {

int standard_classes() {
    catch_three_ways<std::logic_error, std::exception>("logic");
    catch_three_ways<std::domain_error, std::logic_error>("domain");
    catch_three_ways<std::invalid_argument, std::logic_error>("invalid");
    catch_three_ways<std::length_error, std::logic_error>("length");
    catch_three_ways<std::out_of_range, std::logic_error>("range");
    catch_three_ways<std::runtime_error, std::exception>("runtime");
    catch_three_ways<std::range_error, std::runtime_error>("result");
    catch_three_ways<std::overflow_error, std::runtime_error>("over");
    catch_three_ways<std::underflow_error, std::runtime_error>("under");
    catch_three_ways<std::exception, std::exception>();
    catch_three_ways<std::bad_exception, std::exception>();
    catch_three_ways<std::bad_cast, std::exception>();
    catch_three_ways<std::bad_typeid, std::exception>();
    catch_three_ways<std::bad_alloc, std::exception>();
    catch_three_ways<std::bad_array_new_length, std::bad_alloc>();
    return 0;
}

// Copies share the message; each keeps it valid after the others are gone.
int messages_outlive_their_origin() {
    char text[] = "original";
    auto *first = new std::runtime_error(text);
    strcpy(text, "changed");
    std::runtime_error copy(*first);
    std::overflow_error assigned("before");
    line("%s %s %s", first->what(), copy.what(), assigned.what());
    delete first;
    std::runtime_error &asBase = assigned;
    asBase = copy;
    std::overflow_error &same = assigned;
    assigned = same;
    line("%s %s", copy.what(), assigned.what());
    std::logic_error fromNull(nullptr);
    line("[%s]", fromNull.what());
    try {
        raise<std::invalid_argument>("by value");
    } catch (std::invalid_argument error) {
        line("%s", error.what());
    }
    return 0;
}

// An exception_ptr keeps the object after its handler ends, and throws it again as
// often as asked, even while the object is being handled.
int exception_pointers() {
    line("outside handlers: %s", std::current_exception() ? "an exception" : "none");
    std::exception_ptr kept;
    try {
        raise<std::overflow_error>("kept");
    } catch (...) {
        kept = std::current_exception();
    }
    for (int round = 1; round <= 2; ++round) {
        try {
            std::rethrow_exception(kept);
        } catch (const std::overflow_error &error) {
            line("round %d: %s", round, error.what());
        }
    }
    try {
        raise<std::length_error>("outer");
    } catch (...) {
        std::exception_ptr handled = std::current_exception();
        try {
            raise<int>(7);
        } catch (int) {
            try {
                std::rethrow_exception(handled);
            } catch (const std::exception &error) {
                line("again while handled: %s", error.what());
            }
        }
    }
    try {
        std::rethrow_exception(std::make_exception_ptr("pointer"));
    } catch (const char *text) {
        line("made: %s", text);
    }
    std::exception_ptr copy = kept;
    kept = nullptr;
    line("%s, %s", kept ? "held" : "dropped", copy == std::exception_ptr() ? "null" : "copy holds");
    return 0;
}

int uncaught_exceptions() {
    line("before: %d in flight", std::uncaught_exceptions());
    try {
        CountsInFlight outer{"destructor"};
        ThrowsInsideDestructor nested;
        raise<std::runtime_error>("outer");
    } catch (const std::runtime_error &error) {
        abi::__cxa_eh_globals *globals = abi::__cxa_get_globals();
        line("handler: %d in flight, handling %s, %s", abi::__cxa_uncaught_exceptions(),
             abi::__cxa_current_exception_type()->name(),
             globals->caughtExceptions != nullptr && globals == abi::__cxa_get_globals_fast() ? "on the stack" : "?");
    }
    line("after: %d in flight, %s", std::uncaught_exceptions(),
         abi::__cxa_current_exception_type() == nullptr && !abi::__cxa_uncaught_exception() ? "nothing handled" : "?");
    return 0;
}

// A dynamic_cast from a base subobject succeeds only when the base is public.
int dynamic_cast_access() {
    Public isPublic;
    PublicSecond publicSecond;
    PublicVirtual publicVirtual;
    Private isPrivate;
    Protected isProtected;
    PrivateSecond privateSecond;
    ThroughPrivate throughPrivate;
    line("public: %s, public second: %s, public virtual: %s", cast_from_base(isPublic, &isPublic),
         cast_from_base(publicSecond, &publicSecond), cast_from_base(publicVirtual, &publicVirtual));
    line("private: %s, protected: %s, private second: %s, through private: %s",
         cast_from_base(isPrivate, isPrivate.base_part()), cast_from_base(isProtected, isProtected.base_part()),
         cast_from_base(privateSecond, privateSecond.base_part()),
         cast_from_base(throughPrivate, throughPrivate.base_part()));
    Base &base = isPublic;
    try {
        (void)dynamic_cast<PublicSecond &>(base);
    } catch (const std::bad_cast &error) {
        line("reference: %s", error.what());
    }
    Base *none = nullptr;
    try {
        (void)typeid(*none);
    } catch (const std::exception &error) {
        line("typeid: %s", error.what());
    }
    return 0;
}

// The handler runs first, then the machine stops.
int terminate_with_handler() {
    std::terminate_handler previous = std::set_terminate(terminate_handler);
    line("default handler is abort: %d", previous == abort);
    raise<std::logic_error>("nobody catches this");
    return 0;
}

int failed_assertion() {
    assert(strlen("four") == 5);
    return 0;
}

} // extern "C"

#define NDEBUG
#include <cassert>

extern "C" int assertion_under_ndebug() {
    assert(strlen("four") == 5);
    line("not checked");
    return 0;
}
