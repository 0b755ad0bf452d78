// Rendering a window's own pixels, and packing 8-bit colours into display pixels.
#include "window/window.h"

#include <string.h>

namespace lm {

namespace {

// Where the pushed image lands in the window: scaled by one factor to the largest size
// that fits, centred.
// In 64 bits: for windows wider or taller than 2^23 pixels the single-precision drawn
// size can exceed the window by a pixel or two (the offset then goes to 0 or -1) and
// reach 2^31.
struct ImageArea {
    bool present;
    int64_t x, y;
    int64_t width, height;
};

// A drawn size from its single-precision value: truncated, at least 1. The value stays
// below 2^32, so the conversion is always defined.
int64_t drawn_size(float value) {
    const int64_t size = static_cast<int64_t>(value);
    return size < 2 ? 1 : size;
}

ImageArea place_image(const BaremetalWindow &window) {
    if (window.image.size == 0 || window.imageWidth <= 0 || window.imageHeight <= 0)
        return {};
    float width = static_cast<float>(window.width);
    float height = static_cast<float>(window.height);
    float image_width = static_cast<float>(window.imageWidth);
    float image_height = static_cast<float>(window.imageHeight);
    float scale_w = width / image_width;
    float scale_h = height / image_height;
    float scale = scale_h < scale_w ? scale_h : scale_w;
    ImageArea area;
    area.present = true;
    area.width = drawn_size(scale * image_width);
    area.height = drawn_size(image_height * scale);
    area.x = (window.width - area.width) / 2;
    area.y = (window.height - area.height) / 2;
    return area;
}

// Nearest-neighbour source index for `offset` pixels into a drawn span of `drawn`
// pixels showing `source` pixels. The product is formed in 64 bits so that large
// images cannot overflow it.
int32_t sample_index(int64_t offset, int32_t source, int64_t drawn) {
    const int64_t index = offset * source / drawn;
    if (index < 0)
        return 0;
    return index >= source ? source - 1 : static_cast<int32_t>(index);
}

// Window pixels as 32-bit words: red in the low byte, alpha in the high byte.
typedef uint32_t pixel_word __attribute__((aligned(1), may_alias));
constexpr uint32_t kOpaque = 0xFF000000u;
constexpr uint32_t kColour = 0x00FFFFFFu;

void fill_words(pixel_word *out, uint32_t word, uint64_t count) {
    for (uint64_t k = 0; k < count; ++k)
        out[k] = word;
}

// The image columns of a chunk of drawn columns, computed once per render (there is no
// heap here: the chunk is static scratch, and nothing runs concurrently).
constexpr int32_t kChunkColumns = 1024;
uint32_t gSourceColumn[kChunkColumns];

// The drawn part of one row: image row `source` sampled at a chunk of drawn columns,
// which gSourceColumn describes.
void draw_chunk(pixel_word *out, const pixel_word *source, int64_t count) {
    for (int64_t k = 0; k < count; ++k)
        out[k] = (source[gSourceColumn[k]] & kColour) | kOpaque;
}

// An image as wide as its drawn width samples every column in order: a straight copy
// with the alpha byte set.
void draw_unscaled(pixel_word *out, const pixel_word *source, int64_t count) {
    for (int64_t k = 0; k < count; ++k)
        out[k] = (source[k] & kColour) | kOpaque;
}

int64_t larger(int64_t a, int64_t b) {
    return a > b ? a : b;
}

int64_t smaller(int64_t a, int64_t b) {
    return a < b ? a : b;
}

} // namespace

void renderIntoFramebuffer(BaremetalWindow *window) {
    if (!window || window->width <= 0 || window->height <= 0)
        return;
    const int32_t width = window->width;
    const int32_t height = window->height;
    // assign keeps the capacity: re-rendering at an unchanged size does not allocate.
    // Every byte is written below, so a buffer already of the right size is not cleared
    // first (that would write it twice on every frame).
    const uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4;
    if (window->framebuffer.size != bytes)
        window->framebuffer.assign(bytes, 0);
    window->rendered = true; // every byte is written below
    const ImageArea area = place_image(*window);
    const uint32_t background = window->clearRed | window->clearGreen << 8 | window->clearBlue << 16 | kOpaque;
    auto *out = reinterpret_cast<pixel_word *>(window->framebuffer.data);
    const uint64_t row_words = static_cast<uint64_t>(width);

    if (!area.present) {
        fill_words(out, background, row_words * static_cast<uint64_t>(height));
        return;
    }
    // The image area within the window (it can pass the edge of a very large window by a
    // pixel): rows [top, bottom) and columns [left, right).
    const int64_t top = larger(area.y, 0), bottom = smaller(area.y + area.height, height);
    const int64_t left = larger(area.x, 0), right = smaller(area.x + area.width, width);
    auto row = [&](int64_t y) { return out + static_cast<uint64_t>(y) * row_words; };

    // The bars above and below the image, row by row.
    for (int64_t y = 0; y < height; ++y)
        if (y < top || y >= bottom)
            fill_words(row(y), background, row_words);

    // Rows that sample a new image row: the bars at both sides, and the drawn columns
    // chunk by chunk. A row that samples the same image row as the one above it is a
    // copy of that row, made below.
    const auto *image = reinterpret_cast<const pixel_word *>(window->image.data);
    const uint64_t image_row_words = static_cast<uint64_t>(window->imageWidth);
    auto source_row = [&](int64_t y) { return sample_index(y - area.y, window->imageHeight, area.height); };
    auto repeats = [&](int64_t y) { return y > top && source_row(y) == source_row(y - 1); };
    const bool unscaled = area.width == window->imageWidth;
    for (int64_t first = left; first < right; first += kChunkColumns) {
        const int64_t count = smaller(right - first, kChunkColumns);
        if (!unscaled)
            for (int64_t k = 0; k < count; ++k)
                gSourceColumn[k] =
                    static_cast<uint32_t>(sample_index(first + k - area.x, window->imageWidth, area.width));
        for (int64_t y = top; y < bottom; ++y) {
            if (repeats(y))
                continue;
            const pixel_word *source = image + static_cast<uint64_t>(source_row(y)) * image_row_words;
            pixel_word *drawn = row(y) + first;
            if (unscaled)
                draw_unscaled(drawn, source + (first - area.x), count);
            else
                draw_chunk(drawn, source, count);
        }
    }
    for (int64_t y = top; y < bottom; ++y) {
        if (repeats(y)) {
            memcpy(row(y), row(y - 1), row_words * 4);
        } else {
            fill_words(row(y), background, static_cast<uint64_t>(left));
            fill_words(row(y) + right, background, static_cast<uint64_t>(width - right));
        }
    }
}

void renderIfChanged(BaremetalWindow *window) {
    if (window && !window->rendered)
        renderIntoFramebuffer(window);
}

uint32_t packComponent(uint8_t value, uint32_t size, uint32_t shift) {
    if (size == 0)
        return 0;
    const uint64_t mask = size >= 32 ? 0xFFFFFFFFu : (uint64_t{1} << size) - 1;
    // Rounded to nearest; in 64 bits, so that fields wider than 24 bits do not overflow.
    const uint32_t scaled = static_cast<uint32_t>((value * mask + 127) / 255);
    return scaled << (shift % 32);
}

uint32_t packFramebufferPixel(const DisplayFramebuffer &display, uint8_t red, uint8_t green, uint8_t blue) {
    return packComponent(red, display.redSize, display.redShift) |
           packComponent(green, display.greenSize, display.greenShift) |
           packComponent(blue, display.blueSize, display.blueShift);
}

} // namespace lm
