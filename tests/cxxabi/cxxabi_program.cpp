// A program for the library, written as ordinary C++: new- and delete-expressions, the
// release operators as the compiler names them, placement new, a function-local static,
// static objects with destructors and an abstract class. The tests call its exports.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT char *new_chars(std::size_t n) { return new char[n]; }
EXPORT void delete_chars(char *p) { delete[] p; }
EXPORT std::uint64_t *new_word(std::uint64_t value) { return new std::uint64_t(value); }
EXPORT void delete_word(std::uint64_t *p) { delete p; }
EXPORT void *operator_new(std::size_t n) { return ::operator new(n); }
// Release operator `how`: plain, array, sized, sized array.
EXPORT void release(void *p, std::size_t size, int how) {
    if (how == 0)
        ::operator delete(p);
    else if (how == 1)
        ::operator delete[](p);
    else if (how == 2)
        ::operator delete(p, size);
    else
        ::operator delete[](p, size);
}

// Placement new from <new>: builds a text in a caller's buffer.
struct Text {
    char bytes[16];
    explicit Text(const char *from) { std::strcpy(bytes, from); }
};
EXPORT const char *place_text(void *buffer, const char *from) { return (new (buffer) Text(from))->bytes; }
EXPORT const void *nothrow_tag() { return &std::nothrow; }

// The compiler guards `value` with __cxa_guard_acquire and __cxa_guard_release.
static int initialiser_runs = 0;
EXPORT int guarded_value() {
    static int value = 40 + ++initialiser_runs;
    return value;
}
EXPORT int guarded_initialiser_runs() { return initialiser_runs; }

// Static objects with a destructor register it with __cxa_atexit (and this program's
// __dso_handle): the global one at load time, the local one on the first call.
struct Counter {
    int constructed = 1;
    ~Counter() { constructed = 0; }
};
static Counter global_counter;
EXPORT int statics_constructed() {
    static Counter local;
    return global_counter.constructed + local.constructed;
}

// A constructor that reaches area() while the object is still only a Shape.
struct Shape {
    Shape() { describe(); }
    virtual ~Shape() = default;
    virtual int area() const = 0;
    __attribute__((noinline)) int describe() const { return area(); }
};
struct Square : Shape {
    int area() const override { return 4; }
};
EXPORT int make_square() {
    Square square;
    return square.area();
}
