// The library file is named LorrinBootWindow and imports nothing: no needed library, no
// undefined dynamic symbol, no text relocation. (That it exports exactly the names its
// folders list is the link's own doing: a version script made from those lists.)
#include <gtest/gtest.h>

#include <elf.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace lbw::test {
namespace {

class ExportsTest : public ::testing::Test {
protected:
    std::ifstream in{LBW_LIBRARY_PATH, std::ios::binary};
    const std::vector<char> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};

    template <class T>
    const T &at(uint64_t offset) const {
        EXPECT_LE(offset + sizeof(T), file.size()) << "truncated ELF file";
        return *reinterpret_cast<const T *>(file.data() + std::min<uint64_t>(offset, file.size() - sizeof(T)));
    }
    // Calls f(entry, name of an index into the linked string table) for each entry of
    // each section of the type.
    template <class Entry, class F>
    void each(uint32_t type, F f) const {
        const auto &header = at<Elf64_Ehdr>(0);
        EXPECT_EQ(std::memcmp(header.e_ident, ELFMAG, SELFMAG), 0);
        for (uint64_t i = 0; i < header.e_shnum; i++) {
            const auto &section = at<Elf64_Shdr>(header.e_shoff + i * header.e_shentsize);
            const auto &strings = at<Elf64_Shdr>(header.e_shoff + uint64_t{section.sh_link} * header.e_shentsize);
            auto name = [&](uint64_t index) { return std::string(&at<char>(strings.sh_offset + index)); };
            for (uint64_t offset = 0; section.sh_type == type && offset + sizeof(Entry) <= section.sh_size;
                 offset += sizeof(Entry))
                f(at<Entry>(section.sh_offset + offset), name);
        }
    }
};

TEST_F(ExportsTest, FileNameAndSonameAreTheLibraryName) {
    EXPECT_EQ(std::filesystem::path(LBW_LIBRARY_PATH).filename(), "LorrinBootWindow");
    std::string soname;
    each<Elf64_Dyn>(SHT_DYNAMIC, [&](const Elf64_Dyn &d, auto name) {
        if (d.d_tag == DT_SONAME)
            soname = name(d.d_un.d_val);
    });
    EXPECT_EQ(soname, "LorrinBootWindow");
}

TEST_F(ExportsTest, ImportsNothing) {
    each<Elf64_Dyn>(SHT_DYNAMIC, [&](const Elf64_Dyn &d, auto name) {
        EXPECT_NE(d.d_tag, DT_NEEDED) << name(d.d_un.d_val);
        EXPECT_NE(d.d_tag, DT_TEXTREL);
    });
    int defined = 0;
    each<Elf64_Sym>(SHT_DYNSYM, [&](const Elf64_Sym &symbol, auto name) {
        EXPECT_TRUE(symbol.st_name == 0 || symbol.st_shndx != SHN_UNDEF) << "imports " << name(symbol.st_name);
        defined += symbol.st_shndx != SHN_UNDEF;
    });
    EXPECT_GT(defined, 300) << "the dynamic symbols were read";
}

} // namespace
} // namespace lbw::test
