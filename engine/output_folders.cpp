#include "engine/output_folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace morvane {

bool OutputFolders::makeFor(const std::string& root, const std::string& outputPath) {
    const size_t end = outputPath.rfind('/');
    if (end == std::string::npos || end <= root.size() ||
        outputPath.compare(0, root.size(), root) != 0) {
        return true;
    }
    for (size_t slash = outputPath.find('/', root.size() + 1);
         slash != std::string::npos && slash <= end; slash = outputPath.find('/', slash + 1)) {
        const std::string folder = outputPath.substr(0, slash);
        if (::mkdir(folder.c_str(), 0777) == 0) {
            made_.push_back(folder);
        } else if (errno != EEXIST) {
            return false;
        }
    }
    return true;
}

void OutputFolders::removeEmptyOnWayTo(const std::string& outputPath) {
    for (auto folder = made_.rbegin(); folder != made_.rend();) {
        const bool onTheWay = outputPath.size() > folder->size() &&
                              outputPath.compare(0, folder->size(), *folder) == 0 &&
                              outputPath[folder->size()] == '/';
        if (onTheWay && ::rmdir(folder->c_str()) == 0) {
            folder = std::make_reverse_iterator(made_.erase(std::next(folder).base()));
        } else {
            ++folder;
        }
    }
}

}  // namespace morvane
