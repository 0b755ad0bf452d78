// Host records filled by the display, pointer and image entries of the program API
// table (little-endian, no padding between fields).
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace lbw::boot {

struct __attribute__((packed, aligned(4))) FramebufferRecord {
    uint64_t address;
    uint32_t host_word, pitch, width, height, bits_per_pixel;
    uint32_t red_size, red_shift, green_size, green_shift, blue_size, blue_shift;
};
static_assert(sizeof(FramebufferRecord) == 52 && offsetof(FramebufferRecord, blue_shift) == 0x30);

struct PointerRecord {
    uint32_t flags, buttons;
    int32_t absolute_x, absolute_y, relative_x, relative_y;
    uint32_t range_x, range_y;
};
static_assert(sizeof(PointerRecord) == 32 && offsetof(PointerRecord, relative_x) == 0x10);
constexpr uint32_t kPointerRelative = 0x2;

struct ImageRecord {
    uint64_t pixels;
    uint32_t size_bytes, width, height, reserved;
};
static_assert(sizeof(ImageRecord) == 24 && offsetof(ImageRecord, width) == 0x0C);

} // namespace lbw::boot
