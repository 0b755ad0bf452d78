// throw_catch: C++ exceptions on the bare machine. Throws through several frames with
// a destructor to run on the way, catches a derived class as its base, rethrows, and
// catches a fundamental type, reporting each step on the console.
#include <lorrinboot.h>
#include <string.h>

namespace {

void say(const char *text) {
    lm_lua_write(text, strlen(text));
}

struct Failure {
    int code;
};

struct Base {
    virtual ~Base() = default;
    virtual const char *name() const { return "base"; }
};

struct Derived : Base {
    const char *name() const override { return "derived"; }
};

struct Unwinding {
    const char *where;
    ~Unwinding() {
        if (!where)
            return;
        say("unwound ");
        say(where);
        say("\n");
    }
};

int frames_entered;

[[gnu::noinline]] void descend(int depth) {
    frames_entered++;
    if (depth == 0)
        throw Failure{42};
    Unwinding guard{depth == 3 ? "frame 3" : nullptr};
    descend(depth - 1);
}

} // namespace

int main() {
    try {
        descend(5);
        say("not thrown\n");
    } catch (const Failure &failure) {
        say(failure.code == 42 && frames_entered == 6 ? "caught Failure 42 from 6 frames down\n" : "wrong Failure\n");
    }
    try {
        throw Derived();
    } catch (const Base &base) {
        say("caught ");
        say(base.name());
        say(" as base\n");
    }
    try {
        try {
            throw 7;
        } catch (int) {
            say("caught 7, rethrowing\n");
            throw;
        }
    } catch (int value) {
        say(value == 7 ? "caught 7 again\n" : "caught something else\n");
    }
    return 0;
}
