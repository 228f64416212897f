#pragma once

#include <string>

// Where a program's default folders are. The package's launcher gives every
// user a tree of their own (bin, config, data, picture) and names it in
// TILTSCOPE_TREE; a program started any other way keeps the portable layout:
// the data folder beside its own folder, config and ports from the working folder.
class ProgramTree {
public:
    static constexpr const char* kVariable = "TILTSCOPE_TREE";

    // Takes the tree from the environment and removes it there, so that what
    // the program starts (a browser, a shell) does not inherit it. Only an
    // absolute folder counts.
    static ProgramTree FromEnvironment();

    // An empty or relative `tree` is the portable layout.
    explicit ProgramTree(std::string tree = {});

    bool HasTree() const { return !tree_.empty(); }
    const std::string& Tree() const { return tree_; }

    // The program's own path as its default data folder sees it: the file
    // itself, or a file of the same name in the tree's bin, since the real one
    // lives in a system folder with no data beside it.
    std::string ProgramPath(const std::string& realPath) const;

    // The COM<n> links when no settings file names another place.
    std::string PortsDir() const;

private:
    std::string tree_;
};
