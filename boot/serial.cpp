#include "boot/serial.h"

#include "boot/io.h"

namespace lbw::boot::serial {

namespace {

constexpr uint16_t kPort = 0x3F8;
enum : uint16_t { kData = 0, kInterruptEnable = 1, kLineControl = 3, kModemControl = 4, kLineStatus = 5 };
constexpr uint8_t kReceived = 0x01, kTransmitterEmpty = 0x20;
// Bounds the wait for a transmitter that never empties (no UART present).
constexpr uint32_t kTransmitPolls = 1u << 20;

} // namespace

void init() {
    outb(kPort + kInterruptEnable, 0x00); // polled, no interrupts
    outb(kPort + kLineControl, 0x80);     // divisor latch: 115200 baud
    outb(kPort + kData, 0x01);
    outb(kPort + kInterruptEnable, 0x00);
    outb(kPort + kLineControl, 0x03); // 8 data bits, no parity, one stop bit
    // The FIFO control register is left alone: switching the FIFOs on or off clears
    // them, and a byte may already be waiting.
    outb(kPort + kModemControl, 0x03); // DTR, RTS
}

void write_byte(uint8_t byte) {
    for (uint32_t i = 0; i < kTransmitPolls && !(inb(kPort + kLineStatus) & kTransmitterEmpty); i++) {
    }
    outb(kPort + kData, byte);
}

void write(const char *text) {
    while (*text)
        write_byte(static_cast<uint8_t>(*text++));
}

void write_decimal(int64_t value) {
    char digits[24];
    int n = 0;
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0)
        write_byte('-');
    while (n)
        write_byte(static_cast<uint8_t>(digits[--n]));
}

void write_hex(uint64_t value) {
    write("0x");
    for (int shift = 60; shift >= 0; shift -= 4)
        write_byte(static_cast<uint8_t>("0123456789abcdef"[(value >> shift) & 0xF]));
}

int read_byte() {
    if (!(inb(kPort + kLineStatus) & kReceived))
        return -1;
    return inb(kPort + kData);
}

} // namespace lbw::boot::serial
