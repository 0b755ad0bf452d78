// Tests of the exception runtime: the built library, plus a program compiled for the
// SjLj model loaded into the library's namespace. After every test the frame list and
// the caught-exception stack must be empty again.
#pragma once

#include "tests/support/library_test.h"

#include <cstdint>
#include <string>

namespace lbw::test {

// The frame record as clang's SjLj code generation lays it out.
struct FrameRecord {
    FrameRecord *prev;
    int32_t callSite;
    uint32_t data[4];
    const void *personality;
    const uint8_t *lsda;
    void *jumpBuffer[5];
};
static_assert(sizeof(FrameRecord) == 88);

// The header in front of every thrown object.
struct ExceptionHeader {
    const void *exceptionType;
    void (*exceptionDestructor)(void *);
    ExceptionHeader *nextCaught;
    FrameRecord *handlerContext;
    uint32_t handlerLandingPad;
    int32_t handlerSelector;
    uint8_t rethrown;
    uint32_t handlerCount;
};
static_assert(sizeof(ExceptionHeader) == 48);

inline ExceptionHeader *header_of(void *object) {
    return reinterpret_cast<ExceptionHeader *>(static_cast<char *>(object) - sizeof(ExceptionHeader));
}
// The exception pointer, which landing pads receive and hand back to the runtime: 32
// bytes before the object.
inline void *exception_of(ExceptionHeader *header) {
    return header ? reinterpret_cast<char *>(header + 1) - 32 : nullptr;
}

class ExceptionsTest : public LibraryTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // A function of the exceptions program.
    template <class F>
    F *program_fn(const char *name) {
        return reinterpret_cast<F *>(sim::LoadedLibrary::program_symbol(program_, name));
    }
    int run(const char *scenario) { return program_fn<int()>(scenario)(); }
    std::string trace() { return program_fn<const char *()>("trace_text")(); }
    // Makes the program's trace also reach stderr, where a death test can see it.
    void trace_to_stderr();

    // Both checks work through exported functions only: a probe record pushed on the
    // frame list, a probe exception pushed on the caught stack.
    bool frame_list_empty();
    bool caught_stack_empty();

    uint64_t heap_baseline = 0;
    void *program_ = nullptr;
};

} // namespace lbw::test
