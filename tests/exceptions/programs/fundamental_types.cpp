// Values of fundamental types thrown and caught: their type_info objects come from the
// library.
namespace {
const char kText[] = "text";
int gObject = 5;

// 1 when a thrown T is caught by a clause of T, with its value.
template <class T>
int caught_as_itself(T value) {
    try {
        throw value;
    } catch (T caught) {
        return caught == value;
    }
    return 0;
}
} // namespace

extern "C" {

// One bit for each type that is caught as itself.
int catch_fundamental_types() {
    int bits = 0, bit = 0;
    auto add = [&](int ok) { bits |= ok << bit++; };
    add(caught_as_itself(true));
    add(caught_as_itself('c'));
    add(caught_as_itself(static_cast<signed char>(-4)));
    add(caught_as_itself(static_cast<unsigned char>(200)));
    add(caught_as_itself(L'w'));
    add(caught_as_itself(u8'8'));
    add(caught_as_itself(u'x'));
    add(caught_as_itself(U'y'));
    add(caught_as_itself(static_cast<short>(-3)));
    add(caught_as_itself(static_cast<unsigned short>(3)));
    add(caught_as_itself(-7));
    add(caught_as_itself(8U));
    add(caught_as_itself(-4L));
    add(caught_as_itself(5UL));
    add(caught_as_itself(-6LL));
    add(caught_as_itself(7ULL));
    add(caught_as_itself(static_cast<__int128>(-9)));
    add(caught_as_itself(static_cast<unsigned __int128>(9)));
    add(caught_as_itself(1.5f));
    add(caught_as_itself(2.5));
    add(caught_as_itself(3.5L));
    add(caught_as_itself(nullptr));
    add(caught_as_itself(static_cast<void *>(&gObject)));
    add(caught_as_itself(static_cast<const void *>(&gObject)));
    return bits;
}

// In standard C++ the const int* clause would catch: the runtime matches pointers by name.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wexceptions"
// Types that convert into each other are distinct catch types: one bit each.
int catch_distinct_types() {
    int bits = 0;
    try {
        throw 1234;
    } catch (long) {
    } catch (unsigned) {
    } catch (int v) {
        bits |= (v == 1234) << 0;
    }
    try {
        throw 2.5;
    } catch (float) {
    } catch (double d) {
        bits |= (d == 2.5) << 1;
    }
    try {
        throw 'c';
    } catch (signed char) {
    } catch (char c) {
        bits |= (c == 'c') << 2;
    }
    try {
        throw &gObject;
    } catch (const int *) {
    } catch (int *p) {
        bits |= (p == &gObject) << 3;
    }
    return bits;
}
#pragma clang diagnostic pop

int catch_int_by_const_reference() {
    try {
        throw 77;
    } catch (const int &v) {
        return v;
    }
    return -1;
}

// The handler receives the pointer that was thrown, not where it was stored.
int catch_string_literal() {
    try {
        throw kText;
    } catch (const char *s) {
        return s == kText ? 1 : -2;
    }
    return -1;
}

// A pointer to a non-class type caught by reference: compiled code reads the pointer 32
// bytes past the exception pointer its landing pad received.
int catch_pointer_by_reference() {
    try {
        throw &gObject;
    } catch (int *&p) {
        return p == &gObject ? *p : -2;
    }
    return -1;
}

} // extern "C"
