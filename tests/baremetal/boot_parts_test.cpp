// The boot host's parts on Linux, fed what the emulated machine rarely shows: damaged
// files, exhaustion, odd memory maps. What both hosts share is tested in tests/hosts.
#include "boot/elf_loader.h"
#include "boot/file_store.h"
#include "boot/memory_map.h"
#include "tests/support/files.h"
#include "tests/support/low_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace lbw::boot {
namespace {

std::string cpio(const std::string &name, const std::string &data, unsigned mode = 0100644) {
    char header[111];
    std::snprintf(header, sizeof header, "070701%08X%08X%08X%08X%08X%08X%08zX%08X%08X%08X%08X%08zX%08X", 0u, mode, 0u,
                  0u, 1u, 0u, data.size(), 0u, 0u, 0u, 0u, name.size() + 1, 0u);
    std::string entry = std::string(header, 110) + name + '\0';
    entry.resize((entry.size() + 3) & ~size_t{3}, '\0');
    entry += data;
    entry.resize((entry.size() + 3) & ~size_t{3}, '\0');
    return entry;
}

TEST(BootFileStore, DamagedArchivesAndImpossibleWritesAreRefused) {
    test::LowMemory arena(256 * 1024);
    hostcore::Heap heap;
    ASSERT_TRUE(heap.add_region(arena.data(), arena.size()));
    const std::string trailer = cpio("TRAILER!!!", "", 0), good = cpio("a", "data") + trailer;
    std::string bad_digit = good, unterminated = good;
    bad_digit[6 + 6 * 8] = 'g';
    unterminated[111] = 'x';
    // (The build's archives load on QEMU: tests/baremetal/qemu_test.cpp.)
    const std::pair<std::string, const char *> archives[] = {
        {"", "the file archive ends without its trailer"},
        {good.substr(0, 50), "the file archive ends without its trailer"},
        {"070707" + good.substr(6), "the file archive is not a cpio archive in the newc format"},
        {good.substr(0, 111), "a name in the file archive runs past its end"},
        {good.substr(0, 114), "a file in the file archive runs past its end"},
        {bad_digit, "the file archive has a damaged header"},
        {unterminated, "a name in the file archive is not terminated"},
        {cpio("/", "root") + trailer, "a name in the file archive is too long or names no file"},
        {cpio("./d", "", 040755) + cpio("./d/a", "first") + cpio("d/a", "second") + cpio("e", "") + trailer, nullptr}};
    std::vector<std::unique_ptr<uint8_t[]>> kept; // archives in buffers of exactly their size
    FileStore store;
    auto content = [&](const char *path) {
        const FileStore::File *file = store.find(path);
        return file ? std::string(reinterpret_cast<const char *>(file->data), file->size) : "<absent>";
    };
    for (const auto &[archive, error] : archives) {
        store.init(&heap);
        kept.emplace_back(new uint8_t[archive.size() + 1]);
        std::memcpy(kept.back().get(), archive.data(), archive.size());
        const char *result = store.load_archive(kept.back().get(), archive.size());
        EXPECT_STREQ(result, error);
    }
    EXPECT_EQ(content("/x/../d/./a"), "second") << "later entries win; directories are skipped";
    EXPECT_EQ(store.count(), 2u);
    // What programs cannot ask for: no data, the root, a name too long, all memory.
    EXPECT_FALSE(store.write("bad", nullptr, 3));
    EXPECT_FALSE(store.write("/..", "x", 1));
    EXPECT_FALSE(store.write(std::string(FileStore::kMaximumPath, 'p').c_str(), "x", 1));
    EXPECT_FALSE(store.write("d/a", arena.data(), static_cast<uint32_t>(arena.size())));
    EXPECT_EQ(content("d/a"), "second");
}

void *allocate_image(uint64_t size, uint64_t alignment, void *context) {
    auto &blocks = *static_cast<std::vector<std::unique_ptr<void, decltype(&std::free)>> *>(context);
    if (size > (64u << 20))
        return nullptr;
    blocks.emplace_back(std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment), &std::free);
    return blocks.back().get();
}

// Loads (and relocates against itself) a copy of exactly the given size, so that the
// sanitizer catches any access past it.
const char *load(const std::string &file, ElfImage &image, const char **missing = nullptr) {
    std::vector<std::unique_ptr<void, decltype(&std::free)>> blocks;
    std::unique_ptr<uint8_t[]> exact(new uint8_t[file.size() + 1]);
    std::memcpy(exact.get(), file.data(), file.size());
    const char *error = elf_load(exact.get(), file.size(), allocate_image, &blocks, image);
    const ElfImage *scope[] = {&image};
    const char *unused;
    return error ? error : elf_relocate(image, scope, 1, missing ? missing : &unused);
}

TEST(BootElfLoader, DamagedFilesAreRefusedWithoutStrayAccesses) {
    std::string file = test::read_file(LBW_PROGRAM_HELLO);
    auto changed = [&](size_t offset, char value) { return file.substr(0, offset) + value + file.substr(offset + 1); };
    const std::pair<std::string, const char *> cases[] = {
        {"", "the file is too small to be an ELF file"},
        {std::string(100, 'x'), "the file is not an ELF file"},
        {changed(4, 1), "the file is not a little-endian x86-64 ELF file"},
        {changed(18, 3), "the file is not a little-endian x86-64 ELF file"},
        {changed(16, 2), "the file is not a shared object"},
        {changed(0x20, char(0xFF)), "the program headers lie outside the file"},
        {file.substr(0, 600), "a loadable segment lies outside the file or is too large"},
        {file, "the image refers to a symbol that nothing defines"}}; // without the library
    for (const auto &[bytes, error] : cases) {
        ElfImage image;
        const char *missing = nullptr;
        EXPECT_STREQ(load(bytes, image, &missing), error);
        if (bytes == file)
            EXPECT_NE(missing, nullptr);
    }
    // Every byte of the headers and dynamic tables set to a few telling values.
    for (size_t offset = 0; offset < std::min<size_t>(file.size(), 0x800); offset++) {
        for (char value : {'\0', '\x7F', '\xFF'}) {
            ElfImage image;
            load(changed(offset, value), image);
        }
    }
}

// The hand-off area that the host fills from it is checked from inside, on QEMU.
TEST(BootMemoryMap, HostMemoryLowMemoryAndHolesAreLeftOut) {
    constexpr uint64_t MiB = 1ull << 20, GiB = 1ull << 30;
    using Ranges = std::vector<MemoryRange>;
    struct Case {
        Ranges usable, reserved, expected;
        uint32_t capacity;
    };
    Ranges twenty;
    for (uint64_t i = 0; i < 20; i++)
        twenty.push_back({(10 + 2 * i) * MiB, MiB});
    const Case cases[] = {
        {{{0, 0x9FC00}, {MiB, 255 * MiB}}, {{0, 40 * MiB}}, {{40 * MiB, 216 * MiB}}, 64}, // QEMU's, 256 MiB
        {{{2 * MiB, 2 * MiB}, {3 * GiB, 2 * GiB}, {5 * GiB, GiB}}, {}, {{3 * MiB, MiB}, {3 * GiB, GiB}}, 64},
        {{{16 * MiB, 64 * MiB}, {48 * MiB, 64 * MiB}}, {{20 * MiB, 4 * MiB}, {30 * MiB, MiB}, {100 * MiB, 20 * MiB}},
         {{16 * MiB, 4 * MiB}, {24 * MiB, 6 * MiB}, {31 * MiB, 69 * MiB}}, 64},
        {{{80 * MiB, MiB}, {10 * MiB, 10 * MiB}, {20 * MiB, 5 * MiB}, {11 * MiB, 2 * MiB}}, {},
         {{10 * MiB, 15 * MiB}, {80 * MiB, MiB}}, 64}, // sorted, overlaps and touching ranges joined
        {twenty, {}, Ranges(twenty.begin(), twenty.begin() + 4), 4},
        {{{UINT64_MAX - MiB, 2 * MiB}}, {}, {}, 64}, // a wrapping range is clipped, not trusted
    };
    for (const Case &c : cases) {
        Ranges out(c.capacity);
        out.resize(program_memory(c.usable.data(), static_cast<uint32_t>(c.usable.size()), c.reserved.data(),
                                  static_cast<uint32_t>(c.reserved.size()), out.data(), c.capacity));
        ASSERT_EQ(out.size(), c.expected.size()) << &c - cases;
        for (size_t i = 0; i < out.size(); i++)
            EXPECT_TRUE(out[i].base == c.expected[i].base && out[i].length == c.expected[i].length) << &c - cases;
    }
}

} // namespace
} // namespace lbw::boot
