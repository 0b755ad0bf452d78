// Files and folders for the tests.
#pragma once

#include <string>
#include <vector>

namespace lbw::test {

// A fresh empty folder under the test's temporary folder, removed with the object.
class TempFolder {
public:
    explicit TempFolder(const std::string &name = "folder");
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The whole file; empty when it cannot be read.
std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &bytes);
// The names in a folder, sorted.
std::vector<std::string> file_names(const std::string &folder);

} // namespace lbw::test
