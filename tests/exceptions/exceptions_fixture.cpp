#include "tests/exceptions/exceptions_fixture.h"

#include <cstdio>

namespace lbw::test {

void ExceptionsTest::SetUp() {
    LibraryTest::SetUp();
    program_ = lib().load_program(LBW_PROGRAM_EXCEPTIONS_PROGRAM);
    program_fn<void()>("trace_clear")();
    heap_baseline = host().heap().bytes_in_use();
}

void ExceptionsTest::TearDown() {
    EXPECT_TRUE(frame_list_empty()) << "frame records left registered";
    EXPECT_TRUE(caught_stack_empty()) << "exceptions left on the caught stack";
    LibraryTest::TearDown();
}

void ExceptionsTest::trace_to_stderr() {
    program_fn<void(void (*)(const char *))>("trace_set_sink")([](const char *token) {
        std::fputs(token, stderr);
        std::fflush(stderr);
    });
}

bool ExceptionsTest::frame_list_empty() {
    FrameRecord probe{};
    fn<void(FrameRecord *)>("_Unwind_SjLj_Register")(&probe);
    bool empty = probe.prev == nullptr;
    fn<void(FrameRecord *)>("_Unwind_SjLj_Unregister")(&probe);
    return empty;
}

bool ExceptionsTest::caught_stack_empty() {
    void *object = fn<void *(size_t)>("__cxa_allocate_exception")(0);
    ExceptionHeader *header = header_of(object);
    fn<void *(void *)>("__cxa_begin_catch")(exception_of(header));
    bool empty = header->nextCaught == nullptr;
    fn<void()>("__cxa_end_catch")();
    return empty;
}

} // namespace lbw::test
