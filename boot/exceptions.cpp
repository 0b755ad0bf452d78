#include "boot/exceptions.h"

#include "boot/host.h"
#include "boot/serial.h"

#include <stdint.h>

extern "C" const uint64_t boot_exception_stubs[32];

namespace lbw::boot {

namespace {

struct __attribute__((packed)) Gate {
    uint16_t offset_low, selector;
    uint8_t stack_table, type;
    uint16_t offset_middle;
    uint32_t offset_high, reserved;
};
static_assert(sizeof(Gate) == 16);

struct __attribute__((packed)) TablePointer {
    uint16_t limit;
    uint64_t base;
};

Gate gInterruptTable[32];

const char *const kNames[32] = {
    "divide error", "debug", "non-maskable interrupt", "breakpoint", "overflow", "bound range",
    "invalid opcode", "no floating-point unit", "double fault", "coprocessor segment overrun", "invalid TSS",
    "segment not present", "stack fault", "general protection fault", "page fault", "reserved",
    "x87 floating-point error", "alignment check", "machine check", "SIMD floating-point error",
    "virtualisation", "control protection", "reserved", "reserved", "reserved", "reserved", "reserved",
    "reserved", "hypervisor injection", "VMM communication", "security", "reserved"};

struct Frame {
    uint64_t vector, error_code, rip, cs, rflags, rsp, ss;
};

} // namespace

void install_exception_handlers() {
    constexpr uint16_t kCodeSegment = 0x08;
    constexpr uint8_t kInterruptGate = 0x8E; // present, ring 0, 64-bit interrupt gate
    for (int i = 0; i < 32; i++) {
        uint64_t target = boot_exception_stubs[i];
        gInterruptTable[i] = Gate{static_cast<uint16_t>(target), kCodeSegment, 0, kInterruptGate,
                                  static_cast<uint16_t>(target >> 16), static_cast<uint32_t>(target >> 32), 0};
    }
    TablePointer pointer{sizeof gInterruptTable - 1, reinterpret_cast<uint64_t>(gInterruptTable)};
    asm volatile("lidt %0" : : "m"(pointer));
}

extern "C" [[noreturn]] void boot_exception(const Frame *frame) {
    serial::write("lorrinboot: processor exception ");
    serial::write_decimal(static_cast<int64_t>(frame->vector));
    serial::write(" (");
    serial::write(kNames[frame->vector & 31]);
    serial::write(") at ");
    serial::write_hex(frame->rip);
    serial::write(", error code ");
    serial::write_hex(frame->error_code);
    if (frame->vector == 14) {
        uint64_t address;
        asm volatile("mov %%cr2, %0" : "=r"(address));
        serial::write(", address ");
        serial::write_hex(address);
    }
    serial::write("\r\n");
    fatal("the program was stopped by a processor exception");
}

} // namespace lbw::boot
