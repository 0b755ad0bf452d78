// Ordinary C++ against the library's standard headers: the standard exception classes,
// their messages, exception_ptr, the count of exceptions in flight, the terminate
// handler and assert.
#undef NDEBUG // release builds define it; the assertion scenarios choose for themselves
#include "trace.h"

#include <cassert>
#include <cxxabi.h>
#include <exception>
#include <new>
#include <stdexcept>
#include <typeinfo>

#include <stdlib.h>
#include <string.h>

namespace {

// Thrown from a frame of its own, so that the unwinder has frames to walk.
template <class E, class... Args>
[[gnu::noinline]] void raise(Args... args) {
    throw E(args...);
}

// The dynamic type's name, and what() caught as std::exception, as itself and as its
// parent. Each text is traced inside its handler: a message goes with the last
// exception object that holds it.
template <class E, class Parent, class... Args>
void catch_three_ways(Args... args) {
    try {
        raise<E>(args...);
    } catch (const std::exception &error) {
        trace("%s %s ", typeid(error).name(), error.what());
        try { throw; } catch (const E &same) { trace("%s ", same.what()); }
    }
    try { raise<E>(args...); } catch (Parent &error) { trace("%s| ", error.what()); }
}

struct CountsInFlight {
    const char *where;
    ~CountsInFlight() { trace("%s %d| ", where, std::uncaught_exceptions()); }
};

// Throws and catches inside a destructor that runs during unwinding.
struct ThrowsInsideDestructor {
    ~ThrowsInsideDestructor() {
        try {
            CountsInFlight inner{"inner destructor"};
            raise<std::range_error>("inner");
        } catch (const std::range_error &) {
            trace("inner handler %d| ", std::uncaught_exceptions());
        }
    }
};

void terminate_handler() {
    trace("handler %s ", std::get_terminate() == terminate_handler ? "installed" : "?");
}

} // namespace

SCENARIO(standard_classes_with_messages) {
    catch_three_ways<std::logic_error, std::exception>("logic");
    catch_three_ways<std::domain_error, std::logic_error>("domain");
    catch_three_ways<std::invalid_argument, std::logic_error>("invalid");
    catch_three_ways<std::length_error, std::logic_error>("length");
    catch_three_ways<std::out_of_range, std::logic_error>("range");
    catch_three_ways<std::runtime_error, std::exception>("runtime");
    catch_three_ways<std::range_error, std::runtime_error>("result");
    catch_three_ways<std::overflow_error, std::runtime_error>("over");
    catch_three_ways<std::underflow_error, std::runtime_error>("under");
}

SCENARIO(standard_classes_with_fixed_texts) {
    catch_three_ways<std::exception, std::exception>();
    catch_three_ways<std::bad_exception, std::exception>();
    catch_three_ways<std::bad_cast, std::exception>();
    catch_three_ways<std::bad_typeid, std::exception>();
    catch_three_ways<std::bad_alloc, std::exception>();
    catch_three_ways<std::bad_array_new_length, std::bad_alloc>();
}

// Copies share the message; each keeps it valid after the others are gone.
SCENARIO(messages_outlive_their_origin) {
    char text[] = "original";
    auto *first = new std::runtime_error(text);
    strcpy(text, "changed");
    std::runtime_error copy(*first);
    std::overflow_error assigned("before");
    trace("%s %s %s| ", first->what(), copy.what(), assigned.what());
    delete first;
    std::runtime_error &asBase = assigned;
    asBase = copy;
    std::overflow_error &same = assigned;
    assigned = same;
    trace("%s %s| [%s] ", copy.what(), assigned.what(), std::logic_error(nullptr).what());
    try {
        raise<std::invalid_argument>("by value");
    } catch (std::invalid_argument error) {
        trace("%s", error.what());
    }
}

// An exception_ptr keeps the object after its handler ends, and throws it again as
// often as asked, even while the object is being handled.
SCENARIO(exception_pointers) {
    trace("outside handlers: %s| ", std::current_exception() ? "an exception" : "none");
    std::exception_ptr kept;
    try { raise<std::overflow_error>("kept"); } catch (...) { kept = std::current_exception(); }
    for (int round = 1; round <= 2; ++round) {
        try {
            std::rethrow_exception(kept);
        } catch (const std::overflow_error &error) {
            trace("round %d: %s| ", round, error.what());
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
                trace("again while handled: %s| ", error.what());
            }
        }
    }
    try {
        std::rethrow_exception(std::make_exception_ptr("pointer"));
    } catch (const char *text) {
        trace("made: %s| ", text);
    }
    std::exception_ptr copy = kept;
    kept = nullptr;
    trace("%s, %s", kept ? "held" : "dropped", copy == std::exception_ptr() ? "null" : "copy holds");
}

SCENARIO(uncaught_exceptions) {
    trace("before %d| ", std::uncaught_exceptions());
    try {
        CountsInFlight outer{"destructor"};
        ThrowsInsideDestructor nested;
        raise<std::runtime_error>("outer");
    } catch (const std::runtime_error &error) {
        abi::__cxa_eh_globals *globals = abi::__cxa_get_globals();
        bool on_stack = globals->caughtExceptions != nullptr && globals == abi::__cxa_get_globals_fast();
        trace("handler %d, handling %s, %s| ", abi::__cxa_uncaught_exceptions(),
              abi::__cxa_current_exception_type()->name(), on_stack ? "on the stack" : "?");
    }
    bool nothing = abi::__cxa_current_exception_type() == nullptr && !abi::__cxa_uncaught_exception();
    trace("after %d, %s", std::uncaught_exceptions(), nothing ? "nothing handled" : "?");
}

// The handler runs first, then the machine stops.
STOPS_THE_MACHINE(terminate_with_handler) {
    std::terminate_handler previous = std::set_terminate(terminate_handler);
    trace("default is abort: %d ", previous == abort);
    raise<std::logic_error>("nobody catches this");
}

STOPS_THE_MACHINE(failed_assertion) {
    assert(strlen("four") == 5);
}

#define NDEBUG
#include <cassert>

SCENARIO(assertion_under_ndebug) {
    assert(strlen("four") == 5);
    trace("not checked");
}
