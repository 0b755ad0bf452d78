#include "simhost/display.h"

#include "simhost/host.h"

#include <cstring>

namespace lbw::simhost {

namespace {

uint32_t field_mask(uint32_t size) {
    return size >= 32 ? 0xFFFFFFFFu : (1u << size) - 1;
}

uint32_t pack_field(uint8_t value, uint32_t size, uint32_t shift) {
    if (size == 0)
        return 0;
    uint64_t mask = field_mask(size);
    uint32_t scaled = static_cast<uint32_t>((value * mask + 127) / 255);
    return scaled << (shift % 32);
}

uint8_t unpack_field(uint32_t word, uint32_t size, uint32_t shift) {
    if (size == 0)
        return 0;
    uint64_t mask = field_mask(size);
    uint64_t field = (word >> (shift % 32)) & mask;
    return static_cast<uint8_t>((field * 255 + mask / 2) / mask);
}

} // namespace

void DisplayService::reset() {
    result = 1;
    queries = 0;
    windows_created = 0;
    windows_destroyed = 0;
    set_mode(kDefaultWidth, kDefaultHeight);
}

void DisplayService::set_mode(uint32_t width, uint32_t height, PixelLayout layout, uint32_t pitch) {
    width_ = width;
    height_ = height;
    pitch_ = pitch ? pitch : width * 4;
    layout_ = layout;
    memory_.assign(uint64_t{pitch_} * height + 2 * kGuardBytes, kGuardByte);
    for (uint32_t y = 0; y < height; ++y) {
        uint32_t row_bytes = width * 4 < pitch_ ? width * 4 : pitch_;
        std::memset(memory_.data() + kGuardBytes + uint64_t{y} * pitch_, 0, row_bytes);
    }
    description = {};
    description.address = reinterpret_cast<uintptr_t>(memory_.data() + kGuardBytes);
    description.host_word = 1;
    description.pitch = pitch_;
    description.width = width;
    description.height = height;
    description.bits_per_pixel = 32;
    description.red_size = layout.red_size;
    description.red_shift = layout.red_shift;
    description.green_size = layout.green_size;
    description.green_shift = layout.green_shift;
    description.blue_size = layout.blue_size;
    description.blue_shift = layout.blue_shift;
}

uint32_t DisplayService::pixel(uint32_t x, uint32_t y) const {
    uint32_t word;
    std::memcpy(&word, memory_.data() + kGuardBytes + uint64_t{y} * pitch_ + uint64_t{x} * 4, 4);
    return word;
}

void DisplayService::fill(uint32_t word) {
    for (uint32_t y = 0; y < height_; ++y)
        for (uint32_t x = 0; x < width_ && uint64_t{x} * 4 + 4 <= pitch_; ++x)
            std::memcpy(memory_.data() + kGuardBytes + uint64_t{y} * pitch_ + uint64_t{x} * 4, &word, 4);
}

uint32_t DisplayService::pack(uint8_t red, uint8_t green, uint8_t blue) const {
    return pack_field(red, layout_.red_size, layout_.red_shift) |
           pack_field(green, layout_.green_size, layout_.green_shift) |
           pack_field(blue, layout_.blue_size, layout_.blue_shift);
}

void DisplayService::unpack(uint32_t x, uint32_t y, uint8_t rgb[3]) const {
    uint32_t word = pixel(x, y);
    rgb[0] = unpack_field(word, layout_.red_size, layout_.red_shift);
    rgb[1] = unpack_field(word, layout_.green_size, layout_.green_shift);
    rgb[2] = unpack_field(word, layout_.blue_size, layout_.blue_shift);
}

bool DisplayService::guards_intact() const {
    auto guarded = [&](uint64_t from, uint64_t to) {
        for (uint64_t i = from; i < to; ++i)
            if (memory_[i] != kGuardByte)
                return false;
        return true;
    };
    uint64_t frame_end = kGuardBytes + uint64_t{pitch_} * height_;
    if (!guarded(0, kGuardBytes) || !guarded(frame_end, memory_.size()))
        return false;
    for (uint32_t y = 0; y < height_; ++y) {
        uint64_t row = kGuardBytes + uint64_t{y} * pitch_;
        if (uint64_t{width_} * 4 < pitch_ && !guarded(row + uint64_t{width_} * 4, row + pitch_))
            return false;
    }
    return true;
}

int DisplayService::host_query_framebuffer(LmBaremetalProgramFramebufferInfo *info) {
    DisplayService &display = Host::instance().display();
    ++display.queries;
    if (!display.result)
        return 0;
    *info = display.description;
    return display.result;
}

void DisplayService::host_create_window() {
    ++Host::instance().display().windows_created;
}

void DisplayService::host_destroy_window() {
    ++Host::instance().display().windows_destroyed;
}

} // namespace lbw::simhost
