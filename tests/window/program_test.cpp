// A program built for the library against the public header (in C) runs its frame loop.
#include "tests/window/window_test.h"

namespace lbw::test {
namespace {

using ProgramTest = WindowTest;

TEST_F(ProgramTest, FrameLoopInC) {
    void *program = lib().load_program(LBW_PROGRAM_WINDOW_FRAME_LOOP);
    auto main_fn = reinterpret_cast<int (*)()>(sim::LoadedLibrary::program_symbol(program, "main"));
    ASSERT_NE(main_fn, nullptr);
    // Frame 1 reads 'a'; frame 2 reads nothing; frame 3 reads 'Q' and closes.
    input().queue_keys({'a'});
    int frames_seen = 0;
    static int *seen = &frames_seen;
    host().set_entry(LM_ENTRY_POLL_POINTER, +[](LmBaremetalProgramPointerState *) -> int {
        if (++*seen == 2)
            sim::Host::instance().input().queue_keys({'Q'});
        return 0;
    });
    EXPECT_EQ(main_fn(), 301);
    EXPECT_EQ(display().windows_created, 1u);
    EXPECT_EQ(display().windows_destroyed, 1u);
    EXPECT_EQ(display().queries, 4u);
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
}

} // namespace
} // namespace lbw::test
