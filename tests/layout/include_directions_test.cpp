// README's layout table says which folder may include which. Every include of every
// tracked source file that names a folder of the tree must be one its folder's row
// allows, its own folder's or a public header (libc/include/); includes by a bare name
// (system headers, public headers on the include path, files beside the includer,
// Lua's sources) name no folder of the tree and pass.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Rules = std::map<std::string, std::vector<std::string>>; // folder -> what it may include

const fs::path kSource = LBW_SOURCE_DIR;

std::string read(const fs::path &path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> backticked(const std::string &cell) {
    static const std::regex token("`([^`]+)`");
    std::vector<std::string> out;
    for (std::sregex_iterator m(cell.begin(), cell.end(), token), end; m != end; ++m)
        out.push_back((*m)[1]);
    return out;
}

// The rows of the table in README's layout section.
Rules layout_table() {
    std::string readme = read(kSource / "README.md");
    size_t start = readme.find("\n## Layout");
    std::istringstream section(readme.substr(start, readme.find("\n## ", start + 1) - start));
    Rules rules;
    for (std::string line; std::getline(section, line);) {
        size_t split = line.find('|', 1);
        if (line.rfind('|', 0) != 0 || split == std::string::npos)
            continue;
        for (const std::string &folder : backticked(line.substr(1, split - 1)))
            rules[folder] = backticked(line.substr(split + 1));
    }
    return rules;
}

// The source files git tracks, or without git every file of the table's folders.
std::vector<std::string> source_files(const Rules &rules) {
    static const std::regex source(R"(.*\.(c|cc|cpp|h|hpp|inc|S))");
    std::vector<std::string> files;
    std::string command = "git -C '" + kSource.string() + "' ls-files 2>/dev/null";
    if (FILE *git = popen(command.c_str(), "r")) {
        char line[4096];
        while (std::fgets(line, sizeof line, git))
            files.emplace_back(line, std::strcspn(line, "\n"));
        pclose(git);
    }
    if (files.empty())
        for (const auto &[folder, allowed] : rules)
            for (const auto &entry : fs::recursive_directory_iterator(kSource / folder))
                files.push_back(fs::relative(entry.path(), kSource).string());
    std::erase_if(files, [](const std::string &f) { return !std::regex_match(f, source); });
    return files;
}

std::string top_folder(const std::string &path) {
    size_t slash = path.find('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// The tree path an include names, or "" when it names no folder of the tree.
std::string tree_path(const std::string &file, const std::string &name, const std::set<std::string> &folders) {
    if (name.starts_with("./") || name.starts_with("../"))
        return (fs::path(file).parent_path() / name).lexically_normal().string();
    return folders.count(top_folder(name)) ? name : "";
}

bool allowed(const std::string &folder, const std::string &target, const std::vector<std::string> &row) {
    if (target.starts_with(folder) || target.starts_with("libc/include/"))
        return true;
    for (const std::string &rule : row)
        if (rule.ends_with('/') ? target.starts_with(rule) : target == rule)
            return true;
    return false;
}

TEST(IncludeDirections, EveryIncludeIsOneTheLayoutTableAllows) {
    const Rules rules = layout_table();
    ASSERT_FALSE(rules.empty()) << "README's layout section has no include table";
    const std::vector<std::string> files = source_files(rules);
    std::set<std::string> folders;
    for (const std::string &file : files)
        folders.insert(top_folder(file));
    for (const auto &[folder, row] : rules)
        EXPECT_TRUE(folders.count(folder)) << "README's table names " << folder << ", which holds no source file";

    static const std::regex include(R"(^\s*#\s*include\s*[<"]([^>"]+)[>"].*)");
    for (const std::string &file : files) {
        const std::string folder = top_folder(file);
        auto row = rules.find(folder);
        if (row == rules.end()) {
            ADD_FAILURE() << file << ": README's include table has no row for " << folder;
            continue;
        }
        std::istringstream lines(read(kSource / file));
        std::smatch m;
        int number = 0;
        for (std::string line; std::getline(lines, line);) {
            number++;
            if (!std::regex_match(line, m, include))
                continue;
            std::string target = tree_path(file, m[1], folders);
            if (!target.empty() && !allowed(folder, target, row->second))
                ADD_FAILURE() << file << ":" << number << ": " << folder << " may not include " << m[1];
        }
    }
}

} // namespace
