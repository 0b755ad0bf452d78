// Reading a frame's call-site table (the LSDA that clang emits for the SjLj model):
// which landing pad covers the frame's current call, whether it is a cleanup, and which
// catch clause, if any, accepts the thrown type. The table is read in place; a malformed
// one is not diagnosed but never read past the end of its call-site entries, and action
// chains are cut off after 64 records.
#include "cxxabi/sjlj_abi.h"

namespace {

constexpr uint8_t kOmit = 0xFF;           // DW_EH_PE_omit
constexpr uint8_t kFormatMask = 0x0F;
constexpr uint8_t kBaseMask = 0x70;
constexpr uint8_t kPcRelative = 0x10;     // DW_EH_PE_pcrel
constexpr uint8_t kIndirect = 0x80;       // DW_EH_PE_indirect
constexpr int kMaxActionRecords = 64;

// Bytes of one value in the given format; 0 when the format has no fixed size.
unsigned fixed_size_of(uint8_t encoding) {
    switch (encoding & kFormatMask) {
    case 0x0: // absptr
    case 0x4: // udata8
    case 0xC: // sdata8
        return 8;
    case 0x2: // udata2
    case 0xA: // sdata2
        return 2;
    case 0x3: // udata4
    case 0xB: // sdata4
        return 4;
    default:
        return 0;
    }
}

void clear(LorrinHandler &handler) {
    handler = LorrinHandler{};
}

// The catch type of a clause with a positive filter; null stands for catch(...).
const void *catch_type(uint8_t encoding, const uint8_t *typeTableBase, int64_t filter) {
    unsigned size = fixed_size_of(encoding);
    int32_t index = static_cast<int32_t>(filter);
    if (typeTableBase == nullptr || size == 0 || index <= 0)
        return nullptr;
    const uint8_t *entry = typeTableBase - static_cast<uintptr_t>(index) * size;
    return reinterpret_cast<const void *>(read_encoded_pointer(encoding, &entry));
}

} // namespace

uint64_t read_unaligned(const uint8_t *address, unsigned count) {
    uint64_t value = 0;
    if (count > 8)
        count = 8;
    for (unsigned i = 0; i < count; ++i)
        value |= static_cast<uint64_t>(address[i]) << (8 * i);
    return value;
}

// Gathers the 7-bit groups of one LEB128 number; bits that would land at shift 64 or
// beyond are dropped. Returns the bits, and the shift and last byte for sign extension.
static uint64_t read_leb128(const uint8_t **cursor, unsigned *shift_out, uint8_t *last_out) {
    const uint8_t *p = *cursor;
    uint64_t value = 0;
    unsigned shift = 0;
    uint8_t byte;
    do {
        byte = *p++;
        if (shift < 64)
            value |= static_cast<uint64_t>(byte & 0x7F) << shift;
        shift += 7;
    } while (byte & 0x80);
    *cursor = p;
    *shift_out = shift;
    *last_out = byte;
    return value;
}

uint64_t read_uleb128(const uint8_t **cursor) {
    unsigned shift;
    uint8_t last;
    return read_leb128(cursor, &shift, &last);
}

int64_t read_sleb128(const uint8_t **cursor) {
    unsigned shift;
    uint8_t last;
    uint64_t value = read_leb128(cursor, &shift, &last);
    if (shift < 64 && (last & 0x40))
        value |= ~uint64_t{0} << shift;
    return static_cast<int64_t>(value);
}

// DWARF exception-header pointer encodings: absolute or pc-relative, optionally
// indirect. Formats and bases that the compiler does not use here read as 0.
uintptr_t read_encoded_pointer(uint8_t encoding, const uint8_t **cursor) {
    if (encoding == kOmit)
        return 0;
    const uint8_t *start = *cursor;
    const uint8_t *p = start;
    uint64_t value;
    switch (encoding & kFormatMask) {
    case 0x0:
    case 0x4:
    case 0xC:
        value = read_unaligned(p, 8);
        p += 8;
        break;
    case 0x1:
        value = read_uleb128(&p);
        break;
    case 0x2:
        value = read_unaligned(p, 2);
        p += 2;
        break;
    case 0x3:
        value = read_unaligned(p, 4);
        p += 4;
        break;
    case 0x9:
        value = static_cast<uint64_t>(read_sleb128(&p));
        break;
    case 0xA:
        value = static_cast<uint64_t>(static_cast<int64_t>(static_cast<int16_t>(read_unaligned(p, 2))));
        p += 2;
        break;
    case 0xB:
        value = static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(read_unaligned(p, 4))));
        p += 4;
        break;
    default:
        return 0;
    }
    *cursor = p;
    if (value == 0)
        return 0;
    switch (encoding & kBaseMask) {
    case 0x00:
        break;
    case kPcRelative:
        value += reinterpret_cast<uintptr_t>(start);
        break;
    default:
        return 0;
    }
    if (encoding & kIndirect)
        value = *reinterpret_cast<const uintptr_t *>(static_cast<uintptr_t>(value));
    return static_cast<uintptr_t>(value);
}

bool inspect_context(const LorrinSjLjContext *context, const void *thrownType, LorrinHandler &handler) {
    const uint8_t *p = context->lsda;
    if (p == nullptr) {
        clear(handler);
        return false;
    }

    uint8_t landingPadBaseEncoding = *p++;
    if (landingPadBaseEncoding != kOmit)
        read_encoded_pointer(landingPadBaseEncoding, &p);
    uint8_t typeEncoding = *p++;
    const uint8_t *typeTableBase = nullptr;
    if (typeEncoding != kOmit) {
        uint64_t offset = read_uleb128(&p);
        typeTableBase = p + offset;
    }
    ++p; // call-site encoding: entries are ULEB128 whatever it says
    uint64_t callSiteBytes = read_uleb128(&p);
    const uint8_t *actionTable = p + callSiteBytes;

    if (context->callSite <= 0) {
        clear(handler);
        return false;
    }
    uint64_t landingPad = 0;
    uint64_t action = 0;
    for (int32_t n = 0; n < context->callSite; ++n) {
        if (p >= actionTable) {
            clear(handler);
            return false;
        }
        landingPad = read_uleb128(&p);
        action = read_uleb128(&p);
    }

    handler.callSiteFound = 1;
    handler.cleanup = 0;
    handler.handlerFound = 0;
    handler.landingPad = static_cast<uint32_t>(landingPad);
    handler.selector = 0;
    uint32_t firstAction = static_cast<uint32_t>(action);
    if (firstAction == 0) {
        handler.cleanup = 1;
        return false;
    }

    const uint8_t *record = actionTable + (firstAction - 1);
    for (int n = 0; n < kMaxActionRecords; ++n) {
        int64_t filter = read_sleb128(&record);
        const uint8_t *displacementField = record;
        int64_t displacement = read_sleb128(&record);
        if (filter == 0) {
            handler.cleanup = 1;
        } else if (filter > 0 && type_matches(thrownType, catch_type(typeEncoding, typeTableBase, filter))) {
            handler.handlerFound = 1;
            handler.selector = static_cast<int32_t>(filter);
            return true;
        }
        if (displacement == 0)
            return false;
        record = displacementField + displacement;
    }
    return false;
}
