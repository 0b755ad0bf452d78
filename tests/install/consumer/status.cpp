// C++ in the user's program: a static object with a destructor needs the program's own
// __dso_handle, which the package links in.
#include <new>

namespace {
struct Status {
    int value;
    Status() : value(3) {}
    ~Status() { value = 0; }
};
Status status;
} // namespace

extern "C" int program_status(void) {
    int *copy = new int(status.value);
    int value = *copy;
    delete copy;
    return value;
}
