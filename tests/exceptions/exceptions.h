// The exception runtime's own records, for tests that reach it through its exported
// entry points; every test leaves the frame list and the caught-exception stack empty.
#pragma once

#include "cxxabi/sjlj_abi.h"
#include "tests/support/library_test.h"

namespace lbw::test {

inline LorrinExceptionHeader *header_of(void *object) {
    return static_cast<LorrinExceptionHeader *>(object) - 1;
}
// What landing pads receive and hand back to the runtime.
inline void *exception_of(void *object) {
    return static_cast<char *>(object) - kExceptionPointerToObject;
}

class ExceptionsTest : public LibraryTest {
protected:
    void TearDown() override {
        LorrinSjLjContext probe{};
        fn<void(LorrinSjLjContext *)>("_Unwind_SjLj_Register")(&probe);
        EXPECT_EQ(probe.prev, nullptr) << "frame records left registered";
        fn<void(LorrinSjLjContext *)>("_Unwind_SjLj_Unregister")(&probe);
        void *object = allocate(0);
        fn<void *(void *)>("__cxa_begin_catch")(exception_of(object));
        EXPECT_EQ(header_of(object)->nextCaught, nullptr) << "exceptions left on the caught stack";
        fn<void()>("__cxa_end_catch")();
        LibraryTest::TearDown();
    }
    void *allocate(size_t size) { return fn<void *(size_t)>("__cxa_allocate_exception")(size); }
};

} // namespace lbw::test
