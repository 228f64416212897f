#include "ProgramTree.h"

#include <cstdlib>
#include <filesystem>

namespace {

constexpr const char* kPortablePortsDir = "../config/ports";

}  // namespace

ProgramTree ProgramTree::FromEnvironment() {
    const char* value = std::getenv(kVariable);
    ProgramTree tree(value ? value : "");
    ::unsetenv(kVariable);
    return tree;
}

ProgramTree::ProgramTree(std::string tree) {
    if (tree.empty() || tree.front() != '/') return;
    std::string normal = std::filesystem::path(tree).lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
    tree_ = normal;
}

std::string ProgramTree::ProgramPath(const std::string& realPath) const {
    if (!HasTree()) return realPath;
    const std::string name = std::filesystem::path(realPath).filename().string();
    return (tree_ == "/" ? "" : tree_) + "/bin/" + name;
}

std::string ProgramTree::PortsDir() const {
    if (!HasTree()) return kPortablePortsDir;
    return (tree_ == "/" ? "" : tree_) + "/config/ports";
}
