// Reads what a shared object exports and imports, straight from its dynamic section.
#pragma once

#include <string>
#include <vector>

namespace lbw::test {

struct DynamicSymbol {
    std::string name;
    bool defined;
    bool global; // global or weak binding
};

struct DynamicInfo {
    std::string soname;
    std::vector<std::string> needed;
    std::vector<DynamicSymbol> symbols;
    bool has_textrel = false;
};

// Throws std::runtime_error when the file is no 64-bit ELF shared object.
DynamicInfo read_dynamic_info(const std::string &path);

} // namespace lbw::test
