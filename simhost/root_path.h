// Paths of the host's storage, resolved inside a root folder of the Linux machine: the
// file store and the image decoder share these rules, so no path reaches outside.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lbw::sim {

// What ".." does at the root: stay there, or make the whole path unusable.
enum class AboveRoot { stay, refuse };

// The components of `path` below the root: empty pieces and "." dropped, ".." folded
// into its parent; a leading "/" means the root itself. Nothing when ".." would climb
// above the root and `above` is refuse.
std::optional<std::vector<std::string>> components_below_root(const std::string &path, AboveRoot above);

// The folder holding the last of `parts`, opened from `root` (a folder descriptor)
// without following any symbolic link; -1 when it cannot be reached. The caller closes it.
int open_parent_below(int root, const std::vector<std::string> &parts);

} // namespace lbw::sim
