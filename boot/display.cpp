#include "boot/display.h"

#include "boot/io.h"

namespace lbw::boot::display {

namespace {

constexpr uint16_t kPciAddress = 0xCF8, kPciData = 0xCFC;
constexpr uint16_t kVbeIndex = 0x01CE, kVbeData = 0x01CF;
enum : uint16_t {
    kVbeId = 0, kVbeWidth = 1, kVbeHeight = 2, kVbeDepth = 3, kVbeEnable = 4, kVbeVirtualWidth = 6,
    kVbeVirtualHeight = 7, kVbeXOffset = 8, kVbeYOffset = 9, kVbeMemory64K = 0xA,
};
constexpr uint16_t kVbeEnabled = 0x01, kVbeLinear = 0x40;
constexpr uint16_t kVbeMaximumSize = 4096;

uint32_t gWidth = 1280, gHeight = 720;
bool gTried, gReady;
Framebuffer gFramebuffer;

uint32_t pci_read(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset) {
    outl(kPciAddress, 0x80000000u | bus << 16 | device << 11 | function << 8 | (offset & 0xFC));
    return inl(kPciData);
}

void pci_write(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset, uint32_t value) {
    outl(kPciAddress, 0x80000000u | bus << 16 | device << 11 | function << 8 | (offset & 0xFC));
    outl(kPciData, value);
}

// The linear framebuffer's address: BAR 0 of the first 1234:1111 display adapter.
bool find_adapter(uint64_t &address) {
    for (uint32_t bus = 0; bus < 256; bus++) {
        for (uint32_t device = 0; device < 32; device++) {
            uint32_t functions = (pci_read(bus, device, 0, 0x0C) >> 16) & 0x80 ? 8 : 1;
            for (uint32_t function = 0; function < functions; function++) {
                uint32_t id = pci_read(bus, device, function, 0);
                if ((id & 0xFFFF) == 0xFFFF)
                    continue;
                if (id != 0x11111234 || pci_read(bus, device, function, 0x08) >> 16 != 0x0300)
                    continue;
                uint32_t bar = pci_read(bus, device, function, 0x10);
                if (bar & 1) // an I/O BAR: not the framebuffer
                    return false;
                address = bar & ~0xFull;
                if ((bar & 0x6) == 0x4) // 64-bit BAR
                    address |= uint64_t{pci_read(bus, device, function, 0x14)} << 32;
                uint32_t command = pci_read(bus, device, function, 0x04);
                pci_write(bus, device, function, 0x04, command | 0x3); // I/O and memory decoding
                return address != 0;
            }
        }
    }
    return false;
}

uint16_t vbe_read(uint16_t index) {
    outw(kVbeIndex, index);
    return inw(kVbeData);
}

void vbe_write(uint16_t index, uint16_t value) {
    outw(kVbeIndex, index);
    outw(kVbeData, value);
}

bool set_mode() {
    uint64_t address;
    if (!find_adapter(address) || vbe_read(kVbeId) < 0xB0C0)
        return false;
    vbe_write(kVbeEnable, 0);
    vbe_write(kVbeWidth, static_cast<uint16_t>(gWidth));
    vbe_write(kVbeHeight, static_cast<uint16_t>(gHeight));
    vbe_write(kVbeDepth, 32);
    vbe_write(kVbeVirtualWidth, static_cast<uint16_t>(gWidth));
    vbe_write(kVbeXOffset, 0);
    vbe_write(kVbeYOffset, 0);
    vbe_write(kVbeEnable, kVbeEnabled | kVbeLinear);
    // The adapter may refuse the size (too little video memory): believe what it reports.
    uint32_t width = vbe_read(kVbeWidth), height = vbe_read(kVbeHeight);
    uint32_t pitch = uint32_t{vbe_read(kVbeVirtualWidth)} * 4;
    uint64_t memory = uint64_t{vbe_read(kVbeMemory64K)} * 65536;
    if (vbe_read(kVbeDepth) != 32 || width == 0 || height == 0 || pitch < width * 4 ||
        vbe_read(kVbeVirtualHeight) < height || uint64_t{pitch} * height > memory)
        return false;
    gFramebuffer = {address, pitch, width, height};
    return true;
}

} // namespace

void configure(uint32_t width, uint32_t height) {
    if (width >= 8 && height >= 8 && width <= kVbeMaximumSize && height <= kVbeMaximumSize) {
        gWidth = width & ~7u; // the adapter wants widths in multiples of 8
        gHeight = height;
    }
}

bool framebuffer(Framebuffer &out) {
    if (!gTried) {
        gTried = true;
        gReady = set_mode();
    }
    if (gReady)
        out = gFramebuffer;
    return gReady;
}

} // namespace lbw::boot::display
