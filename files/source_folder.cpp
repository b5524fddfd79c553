#include "files/source_folder.h"

#include "files/folder_walk.h"

namespace morvane {

std::vector<std::string> listSourceFolder(const std::string& folder) {
    std::vector<std::string> paths;
    FolderWalk walk(folder, false);
    while (std::optional<FolderWalk::Found> found = walk.next()) {
        paths.push_back(std::move(found->path));
    }
    return paths;
}

}  // namespace morvane
