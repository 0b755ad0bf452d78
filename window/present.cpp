// Presenting a window on the host's display: background, the window scaled to fit and
// centred, and the pointer as a small diamond on top. Display memory is written
// directly; the display is described afresh by the host on every present.
#include "host/program_api.h"
#include "window/window.h"

#include <string.h>

namespace lm {

namespace {

// Display pixels need not be 4-byte aligned (the host chooses base and pitch); window
// pixels are read as words through the same type, assuming nothing of their alignment.
typedef uint32_t display_word __attribute__((aligned(1), may_alias));

void store_pixel(const DisplayFramebuffer &display, uint64_t column, uint64_t row, uint32_t word) {
    *reinterpret_cast<display_word *>(display.base + row * display.pitch + column * 4) = word;
}

// Display memory is written with the processor's string stores: on current processors
// they fill whole cache lines without first reading them in, which plain stores do, and
// which doubles the memory traffic of a present. Streaming stores would not read either,
// but they go to memory even where the display is cached (in the substitute host: a
// third slower); on a write-combining framebuffer both are combined alike.
void fill_words(uint64_t at, uint32_t word, uint64_t count) {
    void *cursor = reinterpret_cast<void *>(at);
    asm volatile("rep stosl" : "+D"(cursor), "+c"(count) : "a"(word) : "memory");
}

void copy_words(uint64_t at, const uint32_t *words, uint64_t count) {
    void *cursor = reinterpret_cast<void *>(at);
    uint64_t bytes = count * 4;
    asm volatile("rep movsb" : "+D"(cursor), "+S"(words), "+c"(bytes) : : "memory");
}

// packFramebufferPixel(display, r, g, b) for a window pixel read as one little-endian
// word (red in the low byte). Each channel's value is a function of its byte alone:
// three tables filled once per present, or, when every field is 8 bits wide (the byte
// is then kept unchanged), the bytes shifted into place. When, moreover, each field has
// a byte of the display word to itself (XRGB, XBGR, BGRX...), packing only moves bytes:
// `from_byte` names the window byte that each display byte takes (kNoByte: zero).
constexpr char kNoByte = static_cast<char>(0x80);

struct Packer {
    bool eight_bit, bytewise;
    uint32_t red_shift, green_shift, blue_shift;
    char from_byte[4];
    uint32_t red[256], green[256], blue[256];

    void prepare(const DisplayFramebuffer &display) {
        eight_bit = display.redSize == 8 && display.greenSize == 8 && display.blueSize == 8;
        red_shift = display.redShift % 32;
        green_shift = display.greenShift % 32;
        blue_shift = display.blueShift % 32;
        bytewise = eight_bit;
        for (char &b : from_byte)
            b = kNoByte;
        place(red_shift, 0);
        place(green_shift, 1);
        place(blue_shift, 2);
        if (eight_bit)
            return;
        for (uint32_t v = 0; v < 256; ++v) {
            red[v] = packComponent(static_cast<uint8_t>(v), display.redSize, display.redShift);
            green[v] = packComponent(static_cast<uint8_t>(v), display.greenSize, display.greenShift);
            blue[v] = packComponent(static_cast<uint8_t>(v), display.blueSize, display.blueShift);
        }
    }

    void place(uint32_t shift, char window_byte) {
        if (shift % 8 != 0 || from_byte[shift / 8] != kNoByte)
            bytewise = false;
        else
            from_byte[shift / 8] = window_byte;
    }
};

// Converts `count` window pixels; `column` maps each output to its source pixel.
template <class Column>
void convert(const Packer &packer, const display_word *source, uint32_t *out, uint64_t count, Column column) {
    if (packer.eight_bit) {
        for (uint64_t k = 0; k < count; ++k) {
            const uint32_t w = source[column(k)];
            out[k] = (w & 0xFF) << packer.red_shift | ((w >> 8) & 0xFF) << packer.green_shift |
                     ((w >> 16) & 0xFF) << packer.blue_shift;
        }
    } else {
        for (uint64_t k = 0; k < count; ++k) {
            const uint32_t w = source[column(k)];
            out[k] = packer.red[w & 0xFF] | packer.green[(w >> 8) & 0xFF] | packer.blue[(w >> 16) & 0xFF];
        }
    }
}

// Spreading a row over the target columns four at a time. A window no wider than the
// target advances at most one source pixel per target column, so four target columns
// show source pixels base + d for d = 0..3, with d starting at 0 and growing by 0 or 1
// from column to column: one of eight patterns, each a byte shuffle of the four words
// from base. One load, shuffle and store for four target columns in place of four
// look-ups through the index table. A bytewise layout is packed by the same shuffle,
// straight from the window's pixels; any other is spread from a converted row. The
// shuffle needs SSSE3 (all but the oldest x86-64 processors; asked of the processor
// once); without it the table is used.
typedef char sixteen_bytes __attribute__((vector_size(16)));

// The eight patterns' shuffles, each display byte taking `from_byte` of its word.
struct SpreadShuffles {
    sixteen_bytes pattern[8];

    void prepare(const char *from_byte) {
        for (uint32_t p = 0; p < 8; ++p) {
            uint32_t d = 0;
            for (uint32_t t = 0; t < 4; ++t) {
                if (t > 0)
                    d += (p >> (t - 1)) & 1;
                for (uint32_t b = 0; b < 4; ++b)
                    pattern[p][4 * t + b] =
                        from_byte[b] == kNoByte ? kNoByte : static_cast<char>(4 * d + from_byte[b]);
            }
        }
    }
};

// Target columns 4g..4g+3 take the four words from row + base[g], shuffled by
// shuffle[g] (one of the eight patterns, stored per group so that the loop does no
// address arithmetic); `row` has three readable words past the last one sampled.
__attribute__((target("ssse3"))) void spread(const display_word *row, const uint32_t *base,
                                             const sixteen_bytes *shuffle, uint64_t groups, uint32_t *out) {
    typedef char sixteen_bytes_unaligned __attribute__((vector_size(16), aligned(1), may_alias));
    for (uint64_t g = 0; g < groups; ++g) {
        const sixteen_bytes words = *reinterpret_cast<const sixteen_bytes_unaligned *>(row + base[g]);
        *reinterpret_cast<sixteen_bytes_unaligned *>(out + 4 * g) = __builtin_ia32_pshufb128(words, shuffle[g]);
    }
}

bool processor_shuffles_bytes() {
    static int known = -1;
    if (known < 0) {
        uint32_t a, b, c, d;
        asm volatile("cpuid" : "=a"(a), "=b"(b), "=c"(c), "=d"(d) : "a"(1), "c"(0));
        known = (c >> 9) & 1;
    }
    return known == 1;
}

// Scratch of one present (nothing runs concurrently, and the host heap is not asked):
// display rows are written in chunks of columns. For a chunk: the source column of each
// target column in it; when the window is not wider than the target, base and shuffle
// of each group of four target columns (see spread) and room for the source pixels it
// spans; and the chunk of the last composed row (bars and packed pixels), which every
// row showing the same source row copies.
constexpr uint64_t kChunkColumns = 2048;
Packer gPacker;
SpreadShuffles gShuffles;
uint32_t gSourceColumn[kChunkColumns];
uint32_t gSourceRow[kChunkColumns + 4];
uint32_t gGroupBase[kChunkColumns / 4];
sixteen_bytes gGroupShuffle[kChunkColumns / 4];
alignas(64) uint32_t gComposedRow[kChunkColumns]; // aligned as display rows are: faster string copies

// The target columns of one chunk: `drawn` of them, from gComposedRow + `offset`; the
// first `4 * groups` of them are spread from the `span` source pixels from `first_source`.
struct Chunk {
    uint64_t offset, drawn;
    uint64_t first_source, span, groups;
};

// The drawn part of the composed row from one row of window pixels, `available` of
// which can be read from `source` on.
void compose(const Chunk &chunk, const display_word *source, uint64_t available) {
    uint32_t *out = gComposedRow + chunk.offset;
    if (chunk.groups) {
        const display_word *row = source + chunk.first_source;
        if (!gPacker.bytewise) {
            convert(gPacker, row, gSourceRow, chunk.span, [](uint64_t k) { return k; });
            row = gSourceRow;
        } else if (chunk.first_source + chunk.span + 3 > available) {
            // The last row of the window: no words to read past its end.
            memcpy(gSourceRow, row, chunk.span * 4);
            row = gSourceRow;
        }
        spread(row, gGroupBase, gGroupShuffle, chunk.groups, out);
    }
    const uint64_t done = 4 * chunk.groups;
    convert(gPacker, source, out + done, chunk.drawn - done, [done](uint64_t k) { return gSourceColumn[done + k]; });
}

uint64_t at_least_one(uint64_t value) {
    return value < 2 ? 1 : value;
}

int32_t clamp_into(int32_t value, int32_t size) {
    if (value < 0)
        return 0;
    return value > size - 1 ? size - 1 : value;
}

// numerator * i / denominator, rounded down, for i = start, start + 1, ...: one division
// to start, then additions (a present takes one per display column and row).
class Steps {
public:
    Steps(uint64_t numerator, uint64_t start, uint64_t denominator)
        : quotient_(numerator * start / denominator), remainder_(numerator * start % denominator),
          step_quotient_(numerator / denominator), step_remainder_(numerator % denominator),
          denominator_(denominator) {}

    uint64_t next() {
        const uint64_t value = quotient_;
        quotient_ += step_quotient_;
        remainder_ += step_remainder_;
        if (remainder_ >= denominator_) {
            remainder_ -= denominator_;
            ++quotient_;
        }
        return value;
    }

private:
    uint64_t quotient_, remainder_, step_quotient_, step_remainder_, denominator_;
};

struct Rectangle {
    uint64_t x, y, width, height;
};

// The largest rectangle with the window's proportions that fits the display, centred.
Rectangle target_rectangle(uint64_t window_width, uint64_t window_height, const DisplayFramebuffer &display) {
    Rectangle target;
    uint64_t tall = at_least_one(window_height * display.width / window_width);
    if (tall <= display.height) {
        target.width = display.width;
        target.height = tall;
    } else {
        target.width = at_least_one(window_width * display.height / window_height);
        target.height = display.height;
    }
    target.x = (display.width - target.width) / 2;
    target.y = (display.height - target.height) / 2;
    return target;
}

void draw_pointer(const BaremetalWindow &window, const Rectangle &target, const DisplayFramebuffer &display) {
    if (window.pointerWidth <= 0 || window.pointerHeight <= 0)
        return;
    const uint64_t cx = static_cast<uint64_t>(clamp_into(window.mouseX, window.pointerWidth));
    const uint64_t cy = static_cast<uint64_t>(clamp_into(window.mouseY, window.pointerHeight));
    const int64_t px = static_cast<int64_t>(target.x + target.width * cx / static_cast<uint64_t>(window.pointerWidth));
    const int64_t py = static_cast<int64_t>(target.y + target.height * cy / static_cast<uint64_t>(window.pointerHeight));

    const uint32_t outline = packFramebufferPixel(display, 0, 0, 0);
    uint32_t fill;
    if (window.mouseButtons[0])
        fill = packFramebufferPixel(display, 255, 60, 60);
    else if (window.mouseButtons[1])
        fill = packFramebufferPixel(display, 60, 255, 60);
    else if (window.mouseButtons[2])
        fill = packFramebufferPixel(display, 80, 130, 255);
    else
        fill = packFramebufferPixel(display, 255, 255, 255);

    // A diamond of radius 7: 61 fill pixels inside a 2-pixel outline of 52. What falls
    // off the display is clipped.
    for (int64_t dy = -7; dy <= 7; ++dy) {
        for (int64_t dx = -7; dx <= 7; ++dx) {
            const int64_t distance = (dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy);
            const int64_t column = px + dx;
            const int64_t row = py + dy;
            if (distance > 7 || column < 0 || row < 0 || column >= display.width || row >= display.height)
                continue;
            store_pixel(display, static_cast<uint64_t>(column), static_cast<uint64_t>(row),
                        distance >= 6 ? outline : fill);
        }
    }
}

} // namespace

bool queryDisplayFramebuffer(DisplayFramebuffer *display) {
    // Cleared before every query: nothing of an earlier answer survives into the next.
    static LmBaremetalProgramFramebufferInfo info;
    memset(&info, 0, sizeof info);
    if (host::query_framebuffer(&info) == 0)
        return false;
    if (info.address == 0 || info.host_word == 0 || info.pitch == 0 || info.width == 0 || info.height == 0)
        return false;
    if (info.bits_per_pixel != 32 || info.red_size == 0 || info.green_size == 0 || info.blue_size == 0)
        return false;
    if (info.pitch / 4 < info.width)
        return false;
    display->base = info.address;
    display->hostWord = info.host_word;
    display->pitch = info.pitch;
    display->width = info.width;
    display->height = info.height;
    display->redSize = info.red_size;
    display->greenSize = info.green_size;
    display->blueSize = info.blue_size;
    display->redShift = info.red_shift;
    display->greenShift = info.green_shift;
    display->blueShift = info.blue_shift;
    return true;
}

void presentToDisplay(BaremetalWindow *window) {
    if (!window || window->width <= 0 || window->height <= 0)
        return;
    const uint64_t width = static_cast<uint64_t>(window->width);
    const uint64_t height = static_cast<uint64_t>(window->height);
    // Only a window rendered at its current size is read (an empty buffer was never
    // rendered).
    if (window->framebuffer.size != width * height * 4)
        return;
    DisplayFramebuffer display;
    if (!queryDisplayFramebuffer(&display))
        return;

    // Every display pixel is written once, row by row in chunks of columns: rows above
    // and below the target are filled; a row through the target is composed in scratch
    // (bars and packed pixels) and copied in one piece. The pointer goes on top.
    // Display memory is never read.
    const uint32_t background = packFramebufferPixel(display, window->clearRed, window->clearGreen, window->clearBlue);
    const Rectangle target = target_rectangle(width, height, display);
    gPacker.prepare(display);
    const char converted_bytes[4] = {0, 1, 2, 3};
    gShuffles.prepare(gPacker.bytewise ? gPacker.from_byte : converted_bytes);
    const bool shuffles = processor_shuffles_bytes();
    const auto *pixels = reinterpret_cast<const display_word *>(window->framebuffer.data);
    for (uint64_t first = 0; first < display.width; first += kChunkColumns) {
        const uint64_t count = display.width - first < kChunkColumns ? display.width - first : kChunkColumns;
        // The target's columns within this chunk: [low, high) of the display.
        const uint64_t low = target.x > first ? target.x : first;
        const uint64_t high = target.x + target.width < first + count ? target.x + target.width : first + count;
        Chunk chunk{};
        chunk.drawn = high > low ? high - low : 0;
        chunk.offset = chunk.drawn ? low - first : 0;
        for (uint64_t k = 0; k < count; ++k)
            gComposedRow[k] = background;
        Steps columns(width, low - target.x, target.width);
        for (uint64_t k = 0; k < chunk.drawn; ++k)
            gSourceColumn[k] = static_cast<uint32_t>(columns.next());
        // A window no wider than the target: the chunk spans at most `drawn` source
        // pixels, spread over its target columns.
        if (shuffles && chunk.drawn && width <= target.width) {
            chunk.first_source = gSourceColumn[0];
            chunk.span = gSourceColumn[chunk.drawn - 1] - chunk.first_source + 1;
            chunk.groups = chunk.drawn / 4;
        }
        for (uint64_t g = 0; g < chunk.groups; ++g) {
            const uint32_t *column = gSourceColumn + 4 * g;
            const uint32_t pattern =
                (column[1] - column[0]) | (column[2] - column[1]) << 1 | (column[3] - column[2]) << 2;
            gGroupBase[g] = static_cast<uint32_t>(column[0] - chunk.first_source);
            gGroupShuffle[g] = gShuffles.pattern[pattern];
        }

        uint64_t composed = UINT64_MAX; // the source row gComposedRow shows
        Steps rows(height, 0, target.height);
        for (uint64_t row = 0; row < display.height; ++row) {
            const uint64_t at = display.base + row * display.pitch + first * 4;
            if (row < target.y || row >= target.y + target.height) {
                fill_words(at, background, count);
                continue;
            }
            const uint64_t sy = rows.next();
            if (chunk.drawn && sy != composed) {
                compose(chunk, pixels + sy * width, (height - sy) * width);
                composed = sy;
            }
            copy_words(at, gComposedRow, count);
        }
    }

    draw_pointer(*window, target, display);
}

} // namespace lm
