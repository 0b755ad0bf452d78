#include "tests/exports/elf_symbols.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace lbw::test {

namespace {

template <class T>
const T &at(const std::vector<char> &file, uint64_t offset) {
    if (offset > file.size() || file.size() - offset < sizeof(T))
        throw std::runtime_error("truncated ELF file");
    return *reinterpret_cast<const T *>(file.data() + offset);
}

std::string string_at(const std::vector<char> &file, const Elf64_Shdr &strtab, uint64_t index) {
    if (index >= strtab.sh_size)
        throw std::runtime_error("string index out of range");
    const char *s = file.data() + strtab.sh_offset + index;
    return std::string(s, strnlen(s, strtab.sh_size - index));
}

} // namespace

DynamicInfo read_dynamic_info(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto &header = at<Elf64_Ehdr>(file, 0);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64)
        throw std::runtime_error("not a 64-bit ELF file");
    if (header.e_type != ET_DYN)
        throw std::runtime_error("not a shared object");

    DynamicInfo info;
    for (unsigned i = 0; i < header.e_shnum; i++) {
        const auto &section = at<Elf64_Shdr>(file, header.e_shoff + uint64_t{i} * header.e_shentsize);
        if (section.sh_type != SHT_DYNSYM && section.sh_type != SHT_DYNAMIC)
            continue;
        const auto &strtab = at<Elf64_Shdr>(file, header.e_shoff + uint64_t{section.sh_link} * header.e_shentsize);
        if (section.sh_type == SHT_DYNSYM) {
            for (uint64_t off = sizeof(Elf64_Sym); off + sizeof(Elf64_Sym) <= section.sh_size; off += sizeof(Elf64_Sym)) {
                const auto &sym = at<Elf64_Sym>(file, section.sh_offset + off);
                unsigned bind = ELF64_ST_BIND(sym.st_info);
                info.symbols.push_back({string_at(file, strtab, sym.st_name), sym.st_shndx != SHN_UNDEF,
                                        bind == STB_GLOBAL || bind == STB_WEAK});
            }
        } else {
            for (uint64_t off = 0; off + sizeof(Elf64_Dyn) <= section.sh_size; off += sizeof(Elf64_Dyn)) {
                const auto &dyn = at<Elf64_Dyn>(file, section.sh_offset + off);
                if (dyn.d_tag == DT_NEEDED)
                    info.needed.push_back(string_at(file, strtab, dyn.d_un.d_val));
                else if (dyn.d_tag == DT_SONAME)
                    info.soname = string_at(file, strtab, dyn.d_un.d_val);
                else if (dyn.d_tag == DT_TEXTREL)
                    info.has_textrel = true;
            }
        }
    }
    return info;
}

} // namespace lbw::test
