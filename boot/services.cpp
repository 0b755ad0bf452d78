// The host entries of the program API table, served by the boot host: console on the
// serial port, heap, files, PNG decoding, display, keyboard and pointer, and the
// program's end.
#include "boot/display.h"
#include "boot/host.h"
#include "boot/io.h"
#include "boot/ps2.h"
#include "boot/serial.h"

#include "hostcore/program_api.h"

#include <string.h>

namespace lbw::boot {

unsigned char *decode_png(const unsigned char *data, int size, int *width, int *height);

namespace {

hostcore::Heap gHeap;
FileStore gFiles;

void console_write_line(const char *text) {
    if (text)
        serial::write(text);
    serial::write("\r\n");
}

// A character typed on the serial line or on the PS/2 keyboard; -1 when none.
int console_character() {
    int c = serial::read_byte();
    if (c >= 0)
        return c;
    uint32_t key = ps2::poll_key();
    return key & 0xFF ? static_cast<int>(key & 0xFF) : -1;
}

bool gSkipLineFeed; // a CR ended the last line: its LF belongs to it

// Reads one line with echo and backspace editing. Ctrl-D on an empty line reports the
// end of input, as the end of a file does. Characters beyond the buffer are dropped.
int read_line(char *buffer, uint32_t capacity, const char *, uint32_t) {
    if (!buffer || capacity == 0)
        return 0;
    uint32_t length = 0;
    for (;;) {
        int c = console_character();
        if (c < 0) {
            asm volatile("pause");
            continue;
        }
        bool skip = gSkipLineFeed;
        gSkipLineFeed = false;
        if (c == '\n' && skip)
            continue;
        if (c == '\r' || c == '\n') {
            gSkipLineFeed = c == '\r';
            break;
        }
        if (c == 0x04 && length == 0) {
            serial::write("\r\n");
            return 0;
        }
        if (c == 0x08 || c == 0x7F) {
            if (length > 0) {
                length--;
                serial::write("\b \b");
            }
            continue;
        }
        if (c < 0x20 && c != '\t')
            continue;
        if (length + 1 < capacity) {
            buffer[length++] = static_cast<char>(c);
            serial::write_byte(static_cast<uint8_t>(c));
        }
    }
    serial::write("\r\n");
    buffer[length] = 0;
    return 1;
}

void *heap_malloc(uint64_t size) {
    return gHeap.allocate(size);
}

void heap_free(void *pointer) {
    gHeap.release(pointer);
}

void *heap_realloc(void *pointer, uint64_t size) {
    return gHeap.reallocate(pointer, size);
}

int stat_file(const char *path, LmBaremetalProgramFileInfo *info) {
    const FileStore::File *file = gFiles.stat(path);
    if (!file || !info)
        return 0;
    info->address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(file->data));
    info->size = file->size;
    return 1;
}

int write_file(const char *path, const void *data, uint32_t size) {
    return gFiles.write(path, data, size) ? 1 : 0;
}

int delete_file(const char *path) {
    return gFiles.remove(path) ? 1 : 0;
}

int png_decode_file(const char *path, LmBaremetalProgramImageInfo *record) {
    const FileStore::File *file = gFiles.find(path);
    if (!file || !record || file->size > 0x7FFFFFFFu)
        return 0;
    int width = 0, height = 0;
    unsigned char *pixels = decode_png(file->data, static_cast<int>(file->size), &width, &height);
    if (!pixels)
        return 0;
    uint64_t bytes = uint64_t(width) * uint64_t(height) * 4;
    if (width <= 0 || height <= 0 || bytes > 0xFFFFFFFFu) {
        gHeap.release(pixels);
        return 0;
    }
    record->pixels = reinterpret_cast<uintptr_t>(pixels);
    record->sizeBytes = static_cast<uint32_t>(bytes);
    record->width = static_cast<uint32_t>(width);
    record->height = static_cast<uint32_t>(height);
    return 1;
}

int query_framebuffer(LmBaremetalProgramFramebufferInfo *record) {
    display::Framebuffer fb;
    if (!record || !display::framebuffer(fb))
        return 0;
    // Bochs VBE 32-bit pixels are 0x00RRGGBB words.
    *record = LmBaremetalProgramFramebufferInfo{fb.address, fb.pitch * fb.height, fb.pitch, fb.width, fb.height, 32,
                                                8, 16, 8, 8, 8, 0};
    return 1;
}

bool gKeyDelivered; // the last poll_key call handed out a key

// One key per poll: the library keeps calling until it gets 0, so answering 0 after each
// key gives every update exactly one key, and presses are never merged into one latched
// flag. The simulator feeds scripted keys the same way.
uint32_t poll_key() {
    if (gKeyDelivered) {
        gKeyDelivered = false;
        return 0;
    }
    uint32_t key = ps2::poll_key();
    if (!key) {
        // A terminal on the serial line sends characters and escape sequences: each
        // byte is a key word with the character alone. A NUL byte cannot be told from
        // "no key" and is skipped.
        int c;
        while ((c = serial::read_byte()) == 0) {
        }
        key = c > 0 ? static_cast<uint32_t>(c) : 0;
    }
    gKeyDelivered = key != 0;
    return key;
}

int poll_pointer(LmBaremetalProgramPointerState *record) {
    ps2::PointerReport report;
    if (!record || !ps2::poll_pointer(report))
        return 0;
    record->flags = LM_POINTER_RELATIVE;
    record->buttons = report.buttons;
    record->relative_x = report.dx;
    record->relative_y = report.dy;
    return 1;
}

[[noreturn]] void program_exit(int32_t status) {
    finish("exit called with", status);
}

void create_window() {}
void destroy_window() {}

// The image lies below 4 GiB: a function's address is its table entry.
uint32_t address_of(void *function) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(function));
}

} // namespace

hostcore::Heap &host_heap() {
    return gHeap;
}

FileStore &file_store() {
    return gFiles;
}

void install_program_api(bool with_pointer) {
    const hostcore::HostEntries entries{
        .create_window = &create_window,
        .destroy_window = &destroy_window,
        .poll_key = &poll_key,
        .stat_file = &stat_file,
        .write_file = &write_file,
        .delete_file = &delete_file,
        .console_write_line = &console_write_line,
        .read_line = &read_line,
        .malloc = &heap_malloc,
        .free = &heap_free,
        .realloc = &heap_realloc,
        .png_decode_file = &png_decode_file,
        .query_framebuffer = &query_framebuffer,
        .poll_pointer = with_pointer ? &poll_pointer : nullptr,
        .exit = &program_exit,
    };
    hostcore::install_program_api(
        *reinterpret_cast<volatile LmBaremetalProgramApi *>(uintptr_t{LM_PROGRAM_API_ADDRESS}), entries, &address_of);
}

[[noreturn]] void finish(const char *how, int status) {
    serial::write("lorrinboot: ");
    serial::write(how);
    serial::write(" ");
    serial::write_decimal(status);
    serial::write("\r\n");
    // QEMU's isa-debug-exit ends QEMU with status 2 * value + 1.
    outb(0xF4, static_cast<uint8_t>(status & 0x3F));
    halt_forever();
}

[[noreturn]] void fatal(const char *message, const char *detail, const char *context) {
    serial::write("lorrinboot: ");
    if (context) {
        serial::write(context);
        serial::write(": ");
    }
    serial::write(message);
    if (detail) {
        serial::write(": ");
        serial::write(detail);
    }
    serial::write("\r\n");
    outb(0xF4, 0x40); // QEMU's isa-debug-exit: exit status 129
    halt_forever();
}

} // namespace lbw::boot

extern "C" void *lbw_boot_png_allocate(size_t size) {
    return lbw::boot::gHeap.allocate(size);
}

extern "C" void *lbw_boot_png_resize(void *pointer, size_t size) {
    return lbw::boot::gHeap.reallocate(pointer, size);
}

extern "C" void lbw_boot_png_release(void *pointer) {
    lbw::boot::gHeap.release(pointer);
}

extern "C" [[noreturn]] void lbw_boot_png_assertion_failed() {
    lbw::boot::fatal("the PNG decoder failed an internal check");
}
