#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace lbw::test {

namespace fsys = std::filesystem;

TempFolder::TempFolder(const std::string &name) {
    std::string pattern = ::testing::TempDir() + "/lbw-" + name + "-XXXXXX";
    path_ = mkdtemp(pattern.data()) ? pattern : "";
    EXPECT_FALSE(path_.empty()) << "cannot make a folder in " << ::testing::TempDir();
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!path_.empty())
        fsys::remove_all(path_, ignored);
}

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_file(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> file_names(const std::string &folder) {
    std::vector<std::string> names;
    for (const auto &entry : fsys::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace lbw::test
