#include "simhost/root_path.h"

#include <fcntl.h>
#include <unistd.h>

namespace lbw::sim {

std::optional<std::vector<std::string>> components_below_root(const std::string &path, AboveRoot above) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            else if (above == AboveRoot::refuse)
                return std::nullopt;
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    return parts;
}

int open_parent_below(int root, const std::vector<std::string> &parts) {
    int dir = openat(root, ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    for (size_t i = 0; i + 1 < parts.size() && dir >= 0; i++) {
        // O_NOFOLLOW with O_PATH opens a link itself, which O_DIRECTORY then refuses.
        int next = openat(dir, parts[i].c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        close(dir);
        dir = next;
    }
    return dir;
}

} // namespace lbw::sim
