#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace morvane::test {

// A collection as users keep one, three levels deep, with what a walk of it must leave out:
//   a.mkv  old.flv  one/b.mkv  one/two/c.mkv  one/two/three/d.mkv
//   one/two/up -> the root (a link to a folder above)
//   only-flv/e.flv                       (nothing to convert: no output folder)
//   locked/f.mkv                         (a folder nobody may read)
//   out/g.mkv                            (the destination, inside, with a clip of its own)
struct SourceTree {
    explicit SourceTree(const std::filesystem::path& where);
    SourceTree(const SourceTree&) = delete;
    SourceTree& operator=(const SourceTree&) = delete;
    // Gives the locked folder its permissions back, so that the test's folder can go.
    ~SourceTree();
    std::filesystem::path root;
    std::filesystem::path destination;  // root/out
    std::filesystem::path locked;
    // Every file and folder under the destination after a batch of the tree with its
    // sub-folders, relative, sorted, each output its source's base name and `ending`.
    static std::vector<std::string> expectedOutputs(const std::string& ending);
};

// Every file and folder under `folder`, relative to it, sorted; links are not followed.
std::vector<std::string> treeOf(const std::filesystem::path& folder);

// Without the powers that let root read any folder, on this thread and the threads it starts,
// so that a folder without permissions is unreadable even to root; they come back at the end.
class WithoutReadOverride {
public:
    WithoutReadOverride();
    WithoutReadOverride(const WithoutReadOverride&) = delete;
    WithoutReadOverride& operator=(const WithoutReadOverride&) = delete;
    ~WithoutReadOverride();

private:
    bool dropped_ = false;
};

}  // namespace morvane::test
