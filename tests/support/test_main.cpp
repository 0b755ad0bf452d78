#include <gtest/gtest.h>

#include <sys/resource.h>

// Death tests end children with SIGSEGV (the library's halt); the sanitizer must not
// catch it, and no core files are wanted.
extern "C" const char *__asan_default_options() {
    return "handle_segv=0";
}

int main(int argc, char **argv) {
    rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
