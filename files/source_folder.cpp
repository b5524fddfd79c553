#include "files/source_folder.h"

#include <dirent.h>

#include <memory>

#include "files/path_helpers.h"

namespace morvane {
namespace {

struct DirectoryClose {
    void operator()(DIR* directory) const { ::closedir(directory); }
};

}  // namespace

std::vector<std::string> listSourceFolder(const std::string& folder) {
    std::vector<std::string> paths;
    std::unique_ptr<DIR, DirectoryClose> directory(::opendir(folder.c_str()));
    if (!directory) {
        return paths;
    }
    while (const dirent* entry = ::readdir(directory.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        std::string path = folder + "/" + name;
        if (IsDirectory(path) || IsSpecialFile(path) || ExtensionOf(path) == "flv") {
            continue;
        }
        paths.push_back(std::move(path));
    }
    return paths;
}

}  // namespace morvane
