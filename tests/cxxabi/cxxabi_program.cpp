// A program for the library, written as ordinary C++: new-expressions, static objects,
// a function-local static and an abstract class. The tests call its exported functions.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#define EXPORT extern "C" __attribute__((visibility("default")))

// ---- allocation ----
EXPORT char *new_chars(std::size_t n) {
    return new char[n];
}
EXPORT void delete_chars(char *p) {
    delete[] p;
}
EXPORT std::uint64_t *new_word(std::uint64_t value) {
    return new std::uint64_t(value);
}
EXPORT void delete_word(std::uint64_t *p) {
    delete p;
}
EXPORT void *operator_new(std::size_t n) {
    return ::operator new(n);
}
// Hands the same pointer to each release operator in turn (a null pointer reaches free
// four times), the sized ones with the size given.
EXPORT void release_all_ways(void *p, std::size_t size) {
    ::operator delete(p);
    ::operator delete[](p);
    ::operator delete(p, size);
    ::operator delete[](p, size);
}
EXPORT void release_sized(void *p, std::size_t size) {
    ::operator delete(p, size);
}
EXPORT void release_array_sized(void *p, std::size_t size) {
    ::operator delete[](p, size);
}

// Placement new from <new>: builds a text in a caller's buffer.
struct Text {
    char bytes[16];
    explicit Text(const char *from) { std::strcpy(bytes, from); }
};
EXPORT const char *place_text(void *buffer, const char *from) {
    return (new (buffer) Text(from))->bytes;
}
EXPORT const void *nothrow_tag() {
    return &std::nothrow;
}

// ---- static objects ----
static int initialiser_runs = 0;
static int next_value() {
    return 40 + ++initialiser_runs;
}
// The compiler guards `value` with __cxa_guard_acquire and __cxa_guard_release.
EXPORT int guarded_value() {
    static int value = next_value();
    return value;
}
EXPORT int guarded_initialiser_runs() {
    return initialiser_runs;
}

// A static object with a destructor: its construction registers the destructor with
// __cxa_atexit at load time, which needs this program's __dso_handle.
struct Counter {
    int *target = nullptr;
    Counter() { constructed = 1; }
    ~Counter() {
        if (target)
            ++*target;
    }
    int constructed = 0;
};
static Counter global_counter;
EXPORT int global_was_constructed() {
    return global_counter.constructed;
}
// A function-local static with a destructor: registration happens on the first call.
EXPORT int local_static_with_destructor() {
    static Counter local;
    return local.constructed;
}

// ---- pure virtual ----
struct Shape {
    Shape() { describe(); } // reaches area() while the object is still only a Shape
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
