#include "boot/ps2.h"

#include "boot/io.h"

namespace lbw::boot::ps2 {

namespace {

constexpr uint16_t kData = 0x60, kStatusCommand = 0x64;
constexpr uint8_t kOutputFull = 0x01, kInputFull = 0x02, kFromMouse = 0x20;
constexpr uint32_t kWaitPolls = 1u << 16;

// Set 1 make codes 0x00-0x39 of a US keyboard: without and with Shift.
constexpr char kPlain[0x3A] = {
    0,   0x1B, '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '-', '=', 0x08, '\t',
    'q', 'w', 'e', 'r', 't', 'y', 'u', 'i', 'o', 'p', '[', ']', '\r', 0,   'a', 's',
    'd', 'f', 'g', 'h', 'j', 'k', 'l', ';', '\'', '`', 0,  '\\', 'z', 'x', 'c', 'v',
    'b', 'n', 'm', ',', '.', '/', 0,   '*', 0,   ' '};
constexpr char kShifted[0x3A] = {
    0,   0x1B, '!', '@', '#', '$', '%', '^', '&', '*', '(', ')', '_', '+', 0x08, '\t',
    'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P', '{', '}', '\r', 0,   'A', 'S',
    'D', 'F', 'G', 'H', 'J', 'K', 'L', ':', '"', '~', 0,   '|', 'Z', 'X', 'C', 'V',
    'B', 'N', 'M', '<', '>', '?', 0,   '*', 0,   ' '};
enum : uint8_t { kLeftShift = 0x2A, kRightShift = 0x36, kControl = 0x1D, kCapsLock = 0x3A, kExtended = 0xE0 };

struct KeyboardState {
    bool extended, left_shift, right_shift, control, caps_lock;
} gKeyboard;

struct MouseState {
    bool present;
    uint8_t packet[3];
    uint8_t received;
    int32_t dx, dy;
    uint8_t buttons;
    bool reported;
} gMouse;

constexpr uint32_t kQueueSize = 64;
uint32_t gKeys[kQueueSize];
uint32_t gKeyHead, gKeyCount;

void queue_key(uint32_t word) {
    if (word == 0 || gKeyCount == kQueueSize)
        return;
    gKeys[(gKeyHead + gKeyCount++) % kQueueSize] = word;
}

void mouse_byte(uint8_t byte) {
    // The first byte of a packet always has bit 3 set: resynchronise on it.
    if (gMouse.received == 0 && !(byte & 0x08))
        return;
    gMouse.packet[gMouse.received++] = byte;
    if (gMouse.received < 3)
        return;
    gMouse.received = 0;
    uint8_t flags = gMouse.packet[0];
    if (flags & 0xC0) // overflowed: the motion is meaningless
        return;
    int32_t dx = gMouse.packet[1] - ((flags & 0x10) ? 256 : 0);
    int32_t dy = gMouse.packet[2] - ((flags & 0x20) ? 256 : 0);
    gMouse.dx += dx;
    gMouse.dy -= dy; // the mouse counts up as positive
    gMouse.buttons = flags & 0x07;
    gMouse.reported = true;
}

// Moves every byte the controller holds into the key queue or the mouse state.
void drain() {
    for (;;) {
        uint8_t status = inb(kStatusCommand);
        if (!(status & kOutputFull))
            return;
        uint8_t byte = inb(kData);
        if (status & kFromMouse)
            mouse_byte(byte);
        else
            queue_key(decode_keyboard_byte(byte));
    }
}

bool wait_writable() {
    for (uint32_t i = 0; i < kWaitPolls; i++) {
        if (!(inb(kStatusCommand) & kInputFull))
            return true;
    }
    return false;
}

bool read_reply(uint8_t &byte) {
    for (uint32_t i = 0; i < kWaitPolls; i++) {
        if (inb(kStatusCommand) & kOutputFull) {
            byte = inb(kData);
            return true;
        }
    }
    return false;
}

bool command(uint8_t value) {
    if (!wait_writable())
        return false;
    outb(kStatusCommand, value);
    return true;
}

bool write_data(uint8_t value) {
    if (!wait_writable())
        return false;
    outb(kData, value);
    return true;
}

bool mouse_command(uint8_t value) {
    uint8_t reply = 0;
    return command(0xD4) && write_data(value) && read_reply(reply) && reply == 0xFA;
}

} // namespace

uint32_t decode_keyboard_byte(uint8_t byte) {
    if (byte == kExtended) {
        gKeyboard.extended = true;
        return 0;
    }
    bool extended = gKeyboard.extended;
    gKeyboard.extended = false;
    bool released = byte & 0x80;
    uint8_t code = byte & 0x7F;
    if (code == kLeftShift || code == kRightShift) {
        if (!extended) // E0 2A is the fake shift of some extended keys
            (code == kLeftShift ? gKeyboard.left_shift : gKeyboard.right_shift) = !released;
        return 0;
    }
    if (code == kControl) {
        gKeyboard.control = !released;
        return 0;
    }
    if (released)
        return 0;
    if (code == kCapsLock) {
        gKeyboard.caps_lock = !gKeyboard.caps_lock;
        return 0;
    }
    uint32_t scan = uint32_t{code} << 8;
    // Cursor keys, Delete and the rest of the extended block carry no character, as on
    // the PC BIOS; keypad Enter and slash keep theirs.
    if (extended) {
        if (code == 0x1C)
            return scan | '\r';
        if (code == 0x35)
            return scan | '/';
        return scan;
    }
    if (code >= sizeof kPlain)
        return scan;
    bool shift = gKeyboard.left_shift || gKeyboard.right_shift;
    char c = shift ? kShifted[code] : kPlain[code];
    if (gKeyboard.caps_lock && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
        c = static_cast<char>(c ^ 0x20);
    if (gKeyboard.control && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
        c = static_cast<char>(c & 0x1F);
    return scan | static_cast<uint8_t>(c);
}

bool init() {
    command(0xAD); // both ports off while the configuration changes
    command(0xA7);
    for (uint32_t i = 0; i < 64 && (inb(kStatusCommand) & kOutputFull); i++)
        inb(kData);
    uint8_t config = 0;
    if (!command(0x20) || !read_reply(config))
        return false;
    config &= static_cast<uint8_t>(~0x03); // no interrupts: the host polls
    config |= 0x40;                        // translation to set 1
    config &= static_cast<uint8_t>(~0x30); // both clocks on
    command(0x60);
    write_data(config);
    command(0xAE);
    command(0xA8);
    gMouse.present = mouse_command(0xF6) && mouse_command(0xF4);
    return gMouse.present;
}

uint32_t poll_key() {
    drain();
    if (gKeyCount == 0)
        return 0;
    uint32_t word = gKeys[gKeyHead];
    gKeyHead = (gKeyHead + 1) % kQueueSize;
    gKeyCount--;
    return word;
}

bool poll_pointer(PointerReport &report) {
    drain();
    if (!gMouse.reported)
        return false;
    report = {gMouse.dx, gMouse.dy, gMouse.buttons};
    gMouse.dx = gMouse.dy = 0;
    gMouse.reported = false;
    return true;
}

} // namespace lbw::boot::ps2
