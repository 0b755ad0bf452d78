// The frame list and the entry into landing pads, with frame records made by hand.
#include "tests/exceptions/exceptions_fixture.h"

#include <cstring>

namespace lbw::test {
namespace {

// Entered by the unwinder in place of compiled dispatch code: notes the stack and frame
// pointers it was given and returns to the test through the library's longjmp.
extern "C" {
uint64_t gReturnBuffer[8];
void *gLibrarySetjmp;
void *gLibraryLongjmp;
uintptr_t gSeenStack;
uintptr_t gSeenFrame;
void lbw_test_landing_pad();
// The library's setjmp, declared so that the compiler knows it returns twice.
__attribute__((returns_twice)) int lbw_test_setjmp(uint64_t *buffer);
}
asm(R"(
    .text
    .p2align 4
lbw_test_landing_pad:
    movq %rsp, gSeenStack(%rip)
    movq %rbp, gSeenFrame(%rip)
    leaq gReturnBuffer(%rip), %rdi
    movl $1, %esi
    jmpq *gLibraryLongjmp(%rip)
    .p2align 4
lbw_test_setjmp:
    jmpq *gLibrarySetjmp(%rip)
)");

alignas(16) unsigned char gLandingStacks[4][256];

class FrameRegistryTest : public ExceptionsTest {
protected:
    void SetUp() override {
        ExceptionsTest::SetUp();
        gLibrarySetjmp = lib().symbol("setjmp");
        gLibraryLongjmp = lib().symbol("longjmp");
    }
    void push(FrameRecord &record) { fn<void(FrameRecord *)>("_Unwind_SjLj_Register")(&record); }
    void pop(FrameRecord &record) { fn<void(FrameRecord *)>("_Unwind_SjLj_Unregister")(&record); }
    FrameRecord *head() {
        FrameRecord probe{};
        push(probe);
        FrameRecord *first = probe.prev;
        pop(probe);
        return first;
    }
    // A record whose landing pads are the stub above, on a stack of its own.
    static void prepare(FrameRecord &record, int index, const uint8_t *lsda, int32_t callSite) {
        record.lsda = lsda;
        record.callSite = callSite;
        record.jumpBuffer[0] = reinterpret_cast<void *>(uintptr_t{0x5EED0000} + index);
        record.jumpBuffer[1] = reinterpret_cast<void *>(lbw_test_landing_pad);
        record.jumpBuffer[2] = gLandingStacks[index] + sizeof gLandingStacks[index];
    }
};

// Calls `start(argument)`, which must not return; true when a landing pad was entered.
__attribute__((noinline)) bool lands(void (*start)(void *), void *argument) {
    if (lbw_test_setjmp(gReturnBuffer) != 0)
        return true;
    start(argument);
    return false;
}

TEST_F(FrameRegistryTest, RegisterAndUnregisterInAnyOrder) {
    FrameRecord a{}, b{}, stranger{};
    a.callSite = 3;
    a.data[0] = 9;
    push(a);
    push(b);
    EXPECT_EQ(head(), &b);
    EXPECT_EQ(b.prev, &a);
    EXPECT_EQ(a.callSite, 3) << "registering touches only the link";
    EXPECT_EQ(a.data[0], 9u);
    stranger.prev = &a;
    pop(stranger); // never registered: nothing changes
    EXPECT_EQ(head(), &b);
    EXPECT_EQ(b.prev, &a);
    pop(b);
    pop(a);
    EXPECT_EQ(head(), nullptr);

    push(a);
    push(b);
    pop(a); // unlinked from behind b
    EXPECT_EQ(head(), &b);
    EXPECT_EQ(b.prev, nullptr);
    pop(b);
    EXPECT_EQ(head(), nullptr);
}

// Four frames, innermost first: a cleanup, a frame whose current call is uncovered, a
// frame without a table, and a frame that catches int.
TEST_F(FrameRegistryTest, UnwindEntersCleanupThenHandlerWithTheirStacks) {
    static const uint8_t kCleanup[] = {0xFF, 0xFF, 0x03, 0x02, 0x05, 0x00};
    static const uint8_t kUncovered[] = {0xFF, 0xFF, 0x03, 0x02, 0x00, 0x00};
    uint8_t catchInt[17] = {0xFF, 0x00, 14, 0x03, 0x02, 0x02, 0x01, 0x01, 0x00};
    const void *intType = lib().symbol("_ZTIi");
    std::memcpy(catchInt + 9, &intType, 8); // type entry 1, absolute, ending at the base

    FrameRecord outer{}, noTable{}, uncovered{}, inner{};
    prepare(outer, 0, catchInt, 1);
    prepare(noTable, 1, nullptr, 1);
    prepare(uncovered, 2, kUncovered, -1);
    prepare(inner, 3, kCleanup, 1);
    for (FrameRecord *record : {&outer, &noTable, &uncovered, &inner})
        push(*record);

    void *object = fn<void *(size_t)>("__cxa_allocate_exception")(sizeof(int));
    ExceptionHeader *header = header_of(object);
    header->exceptionType = intType;
    auto raise = fn<void(void *)>("_Unwind_SjLj_RaiseException");
    ASSERT_TRUE(lands(raise, exception_of(header)));

    // The cleanup of the innermost frame, with selector 0; the list is unchanged.
    EXPECT_EQ(gSeenStack, reinterpret_cast<uintptr_t>(inner.jumpBuffer[2]));
    EXPECT_EQ(gSeenFrame, reinterpret_cast<uintptr_t>(inner.jumpBuffer[0]));
    EXPECT_EQ(inner.callSite, 5);
    EXPECT_EQ(inner.data[0], static_cast<uint32_t>(reinterpret_cast<uintptr_t>(exception_of(header))));
    EXPECT_EQ(inner.data[1], 0u);
    EXPECT_EQ(head(), &inner);
    EXPECT_EQ(header->handlerContext, reinterpret_cast<FrameRecord *>(&outer));
    EXPECT_EQ(header->handlerLandingPad, 2u);
    EXPECT_EQ(header->handlerSelector, 1);

    // The cleanup pad resumes: the frames in between are removed silently.
    ASSERT_TRUE(lands(fn<void(void *)>("_Unwind_SjLj_Resume"), exception_of(header)));
    EXPECT_EQ(gSeenStack, reinterpret_cast<uintptr_t>(outer.jumpBuffer[2]));
    EXPECT_EQ(gSeenFrame, reinterpret_cast<uintptr_t>(outer.jumpBuffer[0]));
    EXPECT_EQ(outer.callSite, 2);
    EXPECT_EQ(outer.data[0], static_cast<uint32_t>(reinterpret_cast<uintptr_t>(exception_of(header))));
    EXPECT_EQ(outer.data[1], 1u);
    EXPECT_EQ(uncovered.callSite, -1);
    EXPECT_EQ(noTable.callSite, 1);
    EXPECT_EQ(head(), &outer); // the handler's record stays registered
    pop(outer);
    fn<void(void *)>("__cxa_free_exception")(object);
}

TEST_F(FrameRegistryTest, TypeThatNobodyCatchesEntersNoPad) {
    static const uint8_t kCleanup[] = {0xFF, 0xFF, 0x03, 0x02, 0x05, 0x00};
    FrameRecord inner{};
    prepare(inner, 0, kCleanup, 1);
    push(inner);
    void *object = fn<void *(size_t)>("__cxa_allocate_exception")(sizeof(int));
    header_of(object)->exceptionType = lib().symbol("_ZTIi");
    auto raise = fn<void(void *)>("_Unwind_SjLj_RaiseException");
    EXPECT_HALTS(lands(raise, exception_of(header_of(object)))); // a landing would return here
    pop(inner);
    fn<void(void *)>("__cxa_free_exception")(object);
}

} // namespace
} // namespace lbw::test
