// lorrinboot-pack: writes the regular files under a directory into a cpio archive in
// the "newc" format, the boot host's file store at start. Names are relative to the
// directory and sorted; times, owners and inode numbers are zero, so the same files
// always give the same archive. A missing directory gives an empty archive.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

void write_header(std::ofstream &out, const std::string &name, unsigned mode, size_t size) {
    char header[111];
    std::snprintf(header, sizeof header, "070701%08X%08X%08X%08X%08X%08X%08zX%08X%08X%08X%08X%08zX%08X", 0u, mode,
                  0u, 0u, 1u, 0u, size, 0u, 0u, 0u, 0u, name.size() + 1, 0u);
    out.write(header, 110);
    out.write(name.c_str(), static_cast<std::streamsize>(name.size() + 1));
    static const char zeros[4] = {};
    out.write(zeros, (4 - (110 + name.size() + 1) % 4) % 4);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: lorrinboot-pack OUTPUT.cpio DIRECTORY\n");
        return 2;
    }
    fs::path root = argv[2];
    std::vector<std::string> names;
    std::error_code error;
    bool directory = fs::is_directory(root, error);
    error.clear(); // a missing directory is an empty one
    if (directory) {
        for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
             it.increment(error)) {
            if (it->is_regular_file())
                names.push_back(fs::relative(it->path(), root).generic_string());
        }
    }
    if (error) {
        std::fprintf(stderr, "lorrinboot-pack: %s: %s\n", argv[2], error.message().c_str());
        return 1;
    }
    std::sort(names.begin(), names.end());

    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    for (const std::string &name : names) {
        std::ifstream in(root / name, std::ios::binary);
        std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.eof() && in.fail()) {
            std::fprintf(stderr, "lorrinboot-pack: cannot read %s\n", name.c_str());
            return 1;
        }
        write_header(out, name, 0100644, data.size());
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        static const char zeros[4] = {};
        out.write(zeros, (4 - data.size() % 4) % 4);
    }
    write_header(out, "TRAILER!!!", 0, 0);
    if (!out) {
        std::fprintf(stderr, "lorrinboot-pack: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
