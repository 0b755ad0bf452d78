// A C++ program written the ordinary way: the standard headers, a standard exception
// thrown and caught as its root class.
#include <cassert>
#include <cxxabi.h>
#include <exception>
#include <stdexcept>

#include <lorrinboot.h>
#include <string.h>

namespace {

void say(const char *text) {
    lm_lua_write(text, strlen(text));
}

[[gnu::noinline]] int element(int index) {
    if (index >= 3)
        throw std::out_of_range("x");
    return index;
}

} // namespace

int main() {
    try {
        element(3);
    } catch (const std::exception &error) {
        assert(abi::__cxa_current_exception_type() != nullptr);
        say("caught ");
        say(error.what());
        say("\n");
    }
    return std::uncaught_exceptions();
}
