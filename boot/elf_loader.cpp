#include "boot/elf_loader.h"

#include <string.h>

namespace lbw::boot {

// The ELF64 records used here (System V ABI, x86-64 supplement).
struct ElfHeader {
    uint8_t ident[16];
    uint16_t type, machine;
    uint32_t version;
    uint64_t entry, phoff, shoff;
    uint32_t flags;
    uint16_t ehsize, phentsize, phnum, shentsize, shnum, shstrndx;
};

struct ElfProgramHeader {
    uint32_t type, flags;
    uint64_t offset, vaddr, paddr, filesz, memsz, align;
};

struct ElfDynamic {
    int64_t tag;
    uint64_t value;
};

struct ElfSymbol {
    uint32_t name;
    uint8_t info, other;
    uint16_t shndx;
    uint64_t value, size;
};

struct ElfRela {
    uint64_t offset, info;
    int64_t addend;
};

namespace {

enum : uint32_t { kLoad = 1, kDynamic = 2, kTls = 7 };
enum : int64_t {
    kNull = 0, kNeeded = 1, kPltRelSize = 2, kHash = 4, kStrTab = 5, kSymTab = 6, kRela = 7,
    kRelaSize = 8, kRelaEnt = 9, kStrSize = 10, kSymEnt = 11, kInit = 12, kSoname = 14,
    kRel = 17, kPltRel = 20, kTextRel = 22, kJmpRel = 23, kInitArray = 25, kInitArraySize = 27,
    kRelr = 36, kGnuHash = 0x6ffffef5,
};
enum : uint32_t {
    kRNone = 0, kR64 = 1, kRGlobDat = 6, kRJumpSlot = 7, kRRelative = 8,
};
constexpr uint16_t kUndefinedSection = 0;
constexpr uint8_t kBindGlobal = 1, kBindWeak = 2;
constexpr uint8_t kTypeGnuIfunc = 10;
// An image larger than this is refused before any memory is asked for.
constexpr uint64_t kMaximumSpan = 1ull << 30;

bool within(uint64_t offset, uint64_t length, uint64_t size) {
    return offset <= size && length <= size - offset;
}

// Symbol count from the GNU hash table: the highest symbol index any chain reaches.
const char *gnu_hash_symbol_count(const ElfImage &image, uint64_t table, uint32_t &count) {
    if (table % 8 != 0 || !within(table, 16, image.span))
        return "the GNU hash table lies outside the image";
    const auto *words = reinterpret_cast<const uint32_t *>(image.base + table);
    uint64_t buckets = words[0], first = words[1], bloom_words = words[2];
    uint64_t buckets_at = table + 16 + bloom_words * 8;
    if (bloom_words > image.span || buckets > image.span || !within(buckets_at, buckets * 4, image.span))
        return "the GNU hash table lies outside the image";
    const auto *bucket = reinterpret_cast<const uint32_t *>(image.base + buckets_at);
    uint64_t chains_at = buckets_at + buckets * 4;
    uint32_t last = 0;
    for (uint64_t i = 0; i < buckets; i++)
        last = bucket[i] > last ? bucket[i] : last;
    if (last < first) {
        count = static_cast<uint32_t>(first);
        return nullptr;
    }
    for (;;) {
        uint64_t at = chains_at + (uint64_t{last} - first) * 4;
        if (!within(at, 4, image.span))
            return "the GNU hash chains run outside the image";
        if (*reinterpret_cast<const uint32_t *>(image.base + at) & 1)
            break;
        last++;
    }
    count = last + 1;
    return nullptr;
}

const char *read_dynamic(ElfImage &image, uint64_t dynamic_at, uint64_t dynamic_size) {
    uint64_t symtab = 0, strtab = 0, hash = 0, gnu_hash = 0, rela = 0, rela_size = 0;
    uint64_t jmprel = 0, plt_size = 0, init_array = 0, init_array_size = 0;
    uint64_t soname = UINT64_MAX;
    uint64_t needed[4];
    uint32_t needed_count = 0;
    bool have_strtab = false, have_symtab = false;
    const auto *entries = reinterpret_cast<const ElfDynamic *>(image.base + dynamic_at);
    for (uint64_t i = 0; i < dynamic_size / sizeof(ElfDynamic) && entries[i].tag != kNull; i++) {
        uint64_t v = entries[i].value;
        switch (entries[i].tag) {
        case kNeeded:
            if (needed_count == 4)
                return "the image needs more than four other objects";
            needed[needed_count++] = v;
            break;
        case kPltRelSize: plt_size = v; break;
        case kHash: hash = v; break;
        case kGnuHash: gnu_hash = v; break;
        case kStrTab: strtab = v; have_strtab = true; break;
        case kSymTab: symtab = v; have_symtab = true; break;
        case kRela: rela = v; break;
        case kRelaSize: rela_size = v; break;
        case kStrSize: image.strings_size = v; break;
        case kInit: image.init = v; break;
        case kSoname: soname = v; break;
        case kJmpRel: jmprel = v; break;
        case kInitArray: init_array = v; break;
        case kInitArraySize: init_array_size = v; break;
        case kRelaEnt:
            if (v != sizeof(ElfRela))
                return "the image's relocation entries have an unknown size";
            break;
        case kSymEnt:
            if (v != sizeof(ElfSymbol))
                return "the image's symbol entries have an unknown size";
            break;
        case kPltRel:
            if (static_cast<int64_t>(v) != kRela)
                return "the image's PLT relocations are not RELA";
            break;
        case kRel: return "the image has REL relocations (x86-64 uses RELA)";
        case kRelr: return "the image has packed relative relocations, which this host does not apply";
        case kTextRel: return "the image needs relocations in its code";
        default: break;
        }
    }
    if (!have_strtab || !have_symtab || !within(strtab, image.strings_size, image.span) || image.strings_size == 0)
        return "the image has no valid dynamic symbol and string tables";
    image.strings = reinterpret_cast<const char *>(image.base + strtab);
    if (image.strings[image.strings_size - 1] != 0)
        return "the image's string table is not terminated";

    uint32_t count = 0;
    if (hash) {
        if (hash % 4 != 0 || !within(hash, 8, image.span))
            return "the hash table lies outside the image";
        count = reinterpret_cast<const uint32_t *>(image.base + hash)[1];
    } else if (gnu_hash) {
        if (const char *error = gnu_hash_symbol_count(image, gnu_hash, count))
            return error;
    }
    if (symtab % 8 != 0 || !within(symtab, uint64_t{count} * sizeof(ElfSymbol), image.span))
        return "the symbol table lies outside the image";
    image.symbols = reinterpret_cast<const ElfSymbol *>(image.base + symtab);
    image.symbol_count = count;

    if (rela_size && (rela % 8 != 0 || !within(rela, rela_size, image.span)))
        return "the relocations lie outside the image";
    if (plt_size && (jmprel % 8 != 0 || !within(jmprel, plt_size, image.span)))
        return "the PLT relocations lie outside the image";
    image.relocations = reinterpret_cast<const ElfRela *>(image.base + rela);
    image.relocation_count = rela_size / sizeof(ElfRela);
    image.plt_relocations = reinterpret_cast<const ElfRela *>(image.base + jmprel);
    image.plt_relocation_count = plt_size / sizeof(ElfRela);

    if (init_array_size && (init_array % 8 != 0 || !within(init_array, init_array_size, image.span)))
        return "the initializer array lies outside the image";
    image.init_array = reinterpret_cast<const uint64_t *>(image.base + init_array);
    image.init_array_count = init_array_size / 8;
    if (image.init && image.init >= image.span)
        return "the initializer lies outside the image";

    if (soname != UINT64_MAX) {
        if (soname >= image.strings_size)
            return "the image's name lies outside its string table";
        image.soname = image.strings + soname;
    }
    for (uint32_t i = 0; i < needed_count; i++) {
        if (needed[i] >= image.strings_size)
            return "a needed object's name lies outside the string table";
        image.needed[i] = image.strings + needed[i];
    }
    image.needed_count = needed_count;
    return nullptr;
}

const ElfSymbol *find_defined(const ElfImage &image, const char *name) {
    for (uint32_t i = 1; i < image.symbol_count; i++) {
        const ElfSymbol &symbol = image.symbols[i];
        uint8_t binding = symbol.info >> 4;
        if (symbol.shndx == kUndefinedSection || (binding != kBindGlobal && binding != kBindWeak) ||
            symbol.value >= image.span)
            continue;
        if (symbol.name < image.strings_size && strcmp(image.strings + symbol.name, name) == 0)
            return &symbol;
    }
    return nullptr;
}

const char *apply(ElfImage &image, const ElfRela *relocations, uint64_t count, const ElfImage *const *scope,
                  uint32_t scope_count, const char **missing_symbol) {
    for (uint64_t i = 0; i < count; i++) {
        const ElfRela &r = relocations[i];
        uint32_t type = static_cast<uint32_t>(r.info);
        uint64_t symbol_index = r.info >> 32;
        if (type == kRNone)
            continue;
        if (!within(r.offset, 8, image.span))
            return "a relocation lies outside the image";
        // Slots are 8-byte aligned in any sane image, but a damaged one is written
        // byte-wise rather than trusted.
        uint8_t *target = image.base + r.offset;
        if (type == kRRelative) {
            uint64_t value = reinterpret_cast<uint64_t>(image.base) + static_cast<uint64_t>(r.addend);
            memcpy(target, &value, 8);
            continue;
        }
        if (type != kR64 && type != kRGlobDat && type != kRJumpSlot)
            return "the image has a relocation type this host does not apply";
        if (symbol_index >= image.symbol_count)
            return "a relocation names a symbol outside the symbol table";
        const ElfSymbol &wanted = image.symbols[symbol_index];
        if (wanted.name >= image.strings_size)
            return "a symbol's name lies outside the string table";
        const char *name = image.strings + wanted.name;
        uint64_t value = 0;
        bool found = false;
        for (uint32_t s = 0; s < scope_count && !found; s++) {
            if (const ElfSymbol *definition = find_defined(*scope[s], name)) {
                if ((definition->info & 0xF) == kTypeGnuIfunc)
                    return "the image refers to an indirect function, which this host does not resolve";
                value = reinterpret_cast<uint64_t>(scope[s]->base) + definition->value;
                found = true;
            }
        }
        if (!found && (wanted.info >> 4) != kBindWeak) {
            *missing_symbol = name;
            return "the image refers to a symbol that nothing defines";
        }
        if (type == kR64)
            value += static_cast<uint64_t>(r.addend);
        memcpy(target, &value, 8);
    }
    return nullptr;
}

} // namespace

const char *elf_load(const uint8_t *file, uint64_t file_size, ImageAllocator allocate, void *context,
                     ElfImage &image) {
    image = ElfImage{};
    if (file_size < sizeof(ElfHeader))
        return "the file is too small to be an ELF file";
    ElfHeader header;
    memcpy(&header, file, sizeof header);
    if (memcmp(header.ident, "\x7f" "ELF", 4) != 0)
        return "the file is not an ELF file";
    if (header.ident[4] != 2 || header.ident[5] != 1 || header.machine != 62)
        return "the file is not a little-endian x86-64 ELF file";
    if (header.type != 3)
        return "the file is not a shared object";
    if (header.phentsize != sizeof(ElfProgramHeader) || header.phoff % 8 != 0 ||
        !within(header.phoff, uint64_t{header.phnum} * sizeof(ElfProgramHeader), file_size))
        return "the program headers lie outside the file";
    const auto *segments = reinterpret_cast<const ElfProgramHeader *>(file + header.phoff);

    uint64_t span = 0, alignment = 4096;
    const ElfProgramHeader *dynamic = nullptr;
    for (uint16_t i = 0; i < header.phnum; i++) {
        const ElfProgramHeader &p = segments[i];
        if (p.type == kTls)
            return "the image has thread-local storage, which this host does not provide";
        if (p.type == kDynamic)
            dynamic = &p;
        if (p.type != kLoad)
            continue;
        if (p.filesz > p.memsz || !within(p.offset, p.filesz, file_size) || !within(p.vaddr, p.memsz, kMaximumSpan))
            return "a loadable segment lies outside the file or is too large";
        if (p.align > alignment) {
            if (p.align > (1u << 21) || (p.align & (p.align - 1)) != 0)
                return "a loadable segment has an unusable alignment";
            alignment = p.align;
        }
        span = p.vaddr + p.memsz > span ? p.vaddr + p.memsz : span;
    }
    if (span == 0)
        return "the file has no loadable segments";
    if (!dynamic)
        return "the file has no dynamic section";

    auto *base = static_cast<uint8_t *>(allocate(span, alignment, context));
    if (!base)
        return "there is no memory for the image";
    memset(base, 0, span);
    for (uint16_t i = 0; i < header.phnum; i++) {
        const ElfProgramHeader &p = segments[i];
        if (p.type == kLoad)
            memcpy(base + p.vaddr, file + p.offset, p.filesz);
    }
    image.base = base;
    image.span = span;
    if (dynamic->vaddr % 8 != 0 || !within(dynamic->vaddr, dynamic->memsz, span))
        return "the dynamic section lies outside the image";
    return read_dynamic(image, dynamic->vaddr, dynamic->memsz);
}

const char *elf_relocate(ElfImage &image, const ElfImage *const *scope, uint32_t scope_count,
                         const char **missing_symbol) {
    *missing_symbol = nullptr;
    if (const char *error = apply(image, image.relocations, image.relocation_count, scope, scope_count, missing_symbol))
        return error;
    return apply(image, image.plt_relocations, image.plt_relocation_count, scope, scope_count, missing_symbol);
}

void *elf_symbol_address(const ElfImage &image, const char *name) {
    const ElfSymbol *symbol = find_defined(image, name);
    return symbol ? image.base + symbol->value : nullptr;
}

void elf_run_initializers(const ElfImage &image) {
    if (image.init)
        reinterpret_cast<void (*)()>(image.base + image.init)();
    for (uint64_t i = 0; i < image.init_array_count; i++) {
        uint64_t entry = image.init_array[i];
        // Entries 0 and -1 are placeholders that some linkers leave.
        if (entry - reinterpret_cast<uint64_t>(image.base) < image.span)
            reinterpret_cast<void (*)()>(entry)();
    }
}

} // namespace lbw::boot
