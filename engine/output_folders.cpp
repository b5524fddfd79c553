#include "engine/output_folders.h"

#include <sys/stat.h>
#include <unistd.h>

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
        std::string folder = outputPath.substr(0, slash);
        if (::mkdir(folder.c_str(), 0777) == 0) {
            made_.insert(std::move(folder));
        } else if (errno != EEXIST) {
            return false;
        }
    }
    return true;
}

void OutputFolders::removeEmptyOnWayTo(const std::string& outputPath) {
    std::string folder = outputPath;
    for (;;) {
        const size_t slash = folder.rfind('/');
        if (slash == std::string::npos) {
            return;
        }
        folder.resize(slash);
        const auto made = made_.find(folder);
        if (made == made_.end() || ::rmdir(folder.c_str()) != 0) {
            return;
        }
        made_.erase(made);
    }
}

}  // namespace morvane
