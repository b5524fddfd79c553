#pragma once

#include <set>
#include <string>

namespace morvane {

// The sub-folders a batch makes under its destination for its outputs: made when a file's
// output is about to be written, and gone again when nothing was kept in them, so that a
// sub-folder with nothing converted leaves nothing behind. Folders that were there before
// are never removed.
class OutputFolders {
public:
    // Makes the missing folders from `root` (which must exist) down to the output's own;
    // false when one cannot be made.
    bool makeFor(const std::string& root, const std::string& outputPath);
    // Removes the folders made on the way to `outputPath` that are empty now, the deepest
    // first.
    void removeEmptyOnWayTo(const std::string& outputPath);

private:
    std::set<std::string> made_;
};

}  // namespace morvane
