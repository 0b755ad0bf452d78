// The boot host's ELF loader, on Linux, with the built library file and programs
// built for it: every relocation lands where the dynamic linker would put it, and
// damaged files are refused without reading or writing outside their bounds.
#include "boot/elf_loader.h"

#include <elf.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace lbw::boot {
namespace {

std::vector<uint8_t> read_file(const char *path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Images live in blocks of exactly their size, so that the sanitizer catches any
// access past them.
struct Images {
    static void *allocate(uint64_t size, uint64_t alignment, void *context) {
        auto *self = static_cast<Images *>(context);
        if (size > (64u << 20))
            return nullptr;
        void *p = std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
        self->blocks.emplace_back(p, &std::free);
        return p;
    }
    std::vector<std::unique_ptr<void, decltype(&std::free)>> blocks;
};

struct Loaded {
    std::vector<uint8_t> file;
    ElfImage image;
};

class ElfLoaderTest : public testing::Test {
protected:
    void load(Loaded &loaded, const char *path) {
        loaded.file = read_file(path);
        ASSERT_FALSE(loaded.file.empty()) << path;
        ASSERT_EQ(elf_load(loaded.file.data(), loaded.file.size(), Images::allocate, &images, loaded.image), nullptr);
    }

    // Checks each relocation of the file against the loaded image, independently of
    // the loader: relative ones hold base + addend, the others the address of the
    // named symbol in the library (or in the program itself).
    void expect_relocated(const Loaded &program, const Loaded &library) {
        const auto *header = reinterpret_cast<const Elf64_Ehdr *>(program.file.data());
        const auto *sections = reinterpret_cast<const Elf64_Shdr *>(program.file.data() + header->e_shoff);
        int checked = 0;
        for (int s = 0; s < header->e_shnum; s++) {
            if (sections[s].sh_type != SHT_RELA)
                continue;
            const Elf64_Shdr &symbols = sections[sections[s].sh_link];
            const Elf64_Shdr &strings = sections[symbols.sh_link];
            const auto *relocations = reinterpret_cast<const Elf64_Rela *>(program.file.data() + sections[s].sh_offset);
            for (size_t i = 0; i < sections[s].sh_size / sizeof(Elf64_Rela); i++) {
                const Elf64_Rela &r = relocations[i];
                uint64_t slot;
                std::memcpy(&slot, program.image.base + r.r_offset, 8);
                auto base = reinterpret_cast<uint64_t>(program.image.base);
                if (ELF64_R_TYPE(r.r_info) == R_X86_64_RELATIVE) {
                    EXPECT_EQ(slot, base + static_cast<uint64_t>(r.r_addend));
                } else {
                    const auto *symbol = reinterpret_cast<const Elf64_Sym *>(program.file.data() + symbols.sh_offset) +
                                         ELF64_R_SYM(r.r_info);
                    const char *name = reinterpret_cast<const char *>(program.file.data() + strings.sh_offset) +
                                       symbol->st_name;
                    void *expected = elf_symbol_address(program.image, name);
                    if (!expected)
                        expected = elf_symbol_address(library.image, name);
                    ASSERT_NE(expected, nullptr) << name;
                    uint64_t addend = ELF64_R_TYPE(r.r_info) == R_X86_64_64 ? static_cast<uint64_t>(r.r_addend) : 0;
                    EXPECT_EQ(slot, reinterpret_cast<uint64_t>(expected) + addend) << name;
                }
                checked++;
            }
        }
        EXPECT_GT(checked, 0);
    }

    Images images;
};

TEST_F(ElfLoaderTest, TheLibraryLoadsAndExportsItsSymbols) {
    Loaded library;
    load(library, LBW_LIBRARY_PATH);
    const ElfImage *scope[] = {&library.image};
    const char *missing = nullptr;
    ASSERT_EQ(elf_relocate(library.image, scope, 1, &missing), nullptr);
    EXPECT_STREQ(library.image.soname, "LorrinBootWindow");
    EXPECT_EQ(library.image.needed_count, 0u);
    void *write = elf_symbol_address(library.image, "lm_lua_write");
    ASSERT_NE(write, nullptr);
    EXPECT_LT(static_cast<uint8_t *>(write), library.image.base + library.image.span);
    EXPECT_EQ(elf_symbol_address(library.image, "no_such_symbol"), nullptr);
}

TEST_F(ElfLoaderTest, ProgramReferencesResolveToTheLibrary) {
    Loaded library, program;
    load(library, LBW_LIBRARY_PATH);
    load(program, LBW_PROGRAM_RELOCATIONS);
    const ElfImage *library_scope[] = {&library.image};
    const ElfImage *program_scope[] = {&program.image, &library.image};
    const char *missing = nullptr;
    ASSERT_EQ(elf_relocate(library.image, library_scope, 1, &missing), nullptr);
    ASSERT_EQ(elf_relocate(program.image, program_scope, 2, &missing), nullptr);
    ASSERT_EQ(program.image.needed_count, 1u);
    EXPECT_STREQ(program.image.needed[0], "LorrinBootWindow");
    EXPECT_NE(elf_symbol_address(program.image, "main"), nullptr);
    expect_relocated(program, library);

    Loaded hello;
    load(hello, LBW_PROGRAM_HELLO);
    const ElfImage *hello_scope[] = {&hello.image, &library.image};
    ASSERT_EQ(elf_relocate(hello.image, hello_scope, 2, &missing), nullptr);
    expect_relocated(hello, library);
}

TEST_F(ElfLoaderTest, AProgramWithoutTheLibraryNamesTheMissingSymbol) {
    Loaded library, program;
    load(library, LBW_LIBRARY_PATH);
    load(program, LBW_PROGRAM_HELLO);
    const ElfImage *scope[] = {&program.image};
    const char *missing = nullptr;
    EXPECT_STREQ(elf_relocate(program.image, scope, 1, &missing), "the image refers to a symbol that nothing defines");
    ASSERT_NE(missing, nullptr);
    EXPECT_NE(elf_symbol_address(library.image, missing), nullptr) << missing << " is one of the library's";
}

const char *load_bytes(std::vector<uint8_t> bytes, Images &images) {
    ElfImage image;
    // A copy of exactly the given size.
    std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size() ? bytes.size() : 1]);
    if (!bytes.empty())
        std::memcpy(exact.get(), bytes.data(), bytes.size());
    const char *error = elf_load(exact.get(), bytes.size(), Images::allocate, &images, image);
    if (!error) {
        const ElfImage *scope[] = {&image};
        const char *missing = nullptr;
        elf_relocate(image, scope, 1, &missing);
    }
    return error;
}

TEST_F(ElfLoaderTest, ForeignAndDamagedFilesAreRefused) {
    std::vector<uint8_t> file = read_file(LBW_PROGRAM_HELLO);
    EXPECT_STREQ(load_bytes({}, images), "the file is too small to be an ELF file");
    std::vector<uint8_t> text(100, 'x');
    EXPECT_STREQ(load_bytes(text, images), "the file is not an ELF file");
    auto changed = [&](size_t offset, uint8_t value) {
        std::vector<uint8_t> copy = file;
        copy[offset] = value;
        return copy;
    };
    EXPECT_STREQ(load_bytes(changed(4, 1), images), "the file is not a little-endian x86-64 ELF file");
    EXPECT_STREQ(load_bytes(changed(18, 3), images), "the file is not a little-endian x86-64 ELF file");
    EXPECT_STREQ(load_bytes(changed(16, 2), images), "the file is not a shared object");
    EXPECT_STREQ(load_bytes(changed(0x20, 0xFF), images), "the program headers lie outside the file");
    std::vector<uint8_t> truncated(file.begin(), file.begin() + 600); // the headers, not the segments
    EXPECT_STREQ(load_bytes(truncated, images), "a loadable segment lies outside the file or is too large");
}

TEST_F(ElfLoaderTest, CorruptedBytesNeverLeadOutsideTheImage) {
    // Every byte of the headers and the dynamic tables set to a few telling values:
    // each load either fails with a message or stays inside its buffers.
    std::vector<uint8_t> file = read_file(LBW_PROGRAM_HELLO);
    size_t limit = file.size() < 0x800 ? file.size() : 0x800;
    for (size_t offset = 0; offset < limit; offset++) {
        for (uint8_t value : {uint8_t{0x00}, uint8_t{0x7F}, uint8_t{0xFF}}) {
            std::vector<uint8_t> copy = file;
            copy[offset] = value;
            load_bytes(copy, images);
        }
        images.blocks.clear();
    }
}

} // namespace
} // namespace lbw::boot
