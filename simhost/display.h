// The host's display and window services: query_framebuffer describes a framebuffer
// that this service owns, in any 32-bit RGB layout; create_window and destroy_window
// only count their calls.
#pragma once

#include "libc/include/lorrinboot/window_host.h"

#include <cstdint>
#include <vector>

namespace lbw::simhost {

// Bit width and position of each colour field of a display pixel.
struct PixelLayout {
    uint32_t red_size, red_shift;
    uint32_t green_size, green_shift;
    uint32_t blue_size, blue_shift;
};

inline constexpr PixelLayout kLayoutRgb888{8, 16, 8, 8, 8, 0};  // red in the high byte
inline constexpr PixelLayout kLayoutBgr888{8, 0, 8, 8, 8, 16};  // red in the low byte
inline constexpr PixelLayout kLayoutRgb565{5, 11, 6, 5, 5, 0};  // narrow fields in a 32-bit pixel
inline constexpr PixelLayout kLayoutRgb101010{10, 20, 10, 10, 10, 0};

class DisplayService {
public:
    static constexpr uint32_t kDefaultWidth = 64;
    static constexpr uint32_t kDefaultHeight = 48;
    // Bytes around the framebuffer (and between the end of a row and its pitch) that
    // hold kGuardByte, so that a write outside the display can be noticed.
    static constexpr uint32_t kGuardBytes = 4096;
    static constexpr uint8_t kGuardByte = 0xA5;

    // Default: a 64 x 48 display, layout 8-8-8 at 16/8/0, pitch 4 x width, black.
    void reset();

    // A new display mode with fresh memory (every pixel 0). A pitch of 0 means 4 x width;
    // a pitch below that is kept as given (an unusable description for the library).
    void set_mode(uint32_t width, uint32_t height, PixelLayout layout = kLayoutRgb888, uint32_t pitch = 0);

    // What query_framebuffer hands out; set_mode fills it, tests may spoil any field.
    LmBaremetalProgramFramebufferInfo description{};
    // query_framebuffer's result; 0 fills nothing.
    int result = 1;

    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }
    uint32_t pitch() const { return pitch_; }
    const PixelLayout &layout() const { return layout_; }

    // The 32-bit word at column x, row y.
    uint32_t pixel(uint32_t x, uint32_t y) const;
    void fill(uint32_t word);
    // The word for an 8-bit colour in the current layout, rounded as the library rounds.
    uint32_t pack(uint8_t red, uint8_t green, uint8_t blue) const;
    // Pixel (x, y) as 8-bit red, green, blue (fields rescaled to 8 bits).
    void unpack(uint32_t x, uint32_t y, uint8_t rgb[3]) const;
    // Whether every guard byte (before, after, and in the row padding) is untouched.
    bool guards_intact() const;

    unsigned queries = 0;
    unsigned windows_created = 0;
    unsigned windows_destroyed = 0;

    static int host_query_framebuffer(LmBaremetalProgramFramebufferInfo *info);
    static void host_create_window();
    static void host_destroy_window();

private:
    std::vector<uint8_t> memory_;
    uint32_t width_ = 0, height_ = 0, pitch_ = 0;
    PixelLayout layout_{};
};

} // namespace lbw::simhost
