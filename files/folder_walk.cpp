#include "files/folder_walk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <utility>

#include "files/output_paths.h"
#include "files/path_helpers.h"

namespace morvane {
namespace {

struct DirectoryClose {
    void operator()(DIR* directory) const { ::closedir(directory); }
};
using DirectoryPtr = std::unique_ptr<DIR, DirectoryClose>;

}  // namespace

// A folder being read: its entries are read to the end before any of its sub-folders is
// opened, so that at most one folder is open at a time.
struct FolderWalk::Level {
    std::string path;
    std::string relative;
    DirectoryPtr directory;
    std::vector<std::string> subFolders;  // names, in the order found
    size_t nextSubFolder = 0;
};

FolderWalk::FolderWalk(std::string root, bool recursive, std::string excluded)
    : excluded_(std::move(excluded)), recursive_(recursive) {
    auto level = std::make_unique<Level>();
    level->directory.reset(::opendir(root.c_str()));
    level->path = std::move(root);
    if (level->directory) {
        levels_.push_back(std::move(level));
    }
}

FolderWalk::~FolderWalk() = default;

bool FolderWalk::isExcluded(const std::string& path) {
    if (excluded_.empty()) {
        return false;
    }
    // Looked for again until it exists: the batch may make it while the walk goes on.
    struct stat status {};
    if (!excludedId_ && ::stat(excluded_.c_str(), &status) == 0) {
        excludedId_.emplace(status.st_dev, status.st_ino);
    }
    return excludedId_ && ::stat(path.c_str(), &status) == 0 &&
           std::pair(status.st_dev, status.st_ino) == *excludedId_;
}

std::optional<FolderWalk::Found> FolderWalk::next() {
    while (!levels_.empty()) {
        Level& level = *levels_.back();
        if (level.directory) {
            if (const dirent* entry = ::readdir(level.directory.get())) {
                const std::string name = entry->d_name;
                if (name == "." || name == "..") {
                    continue;
                }
                std::string path = level.path + "/" + name;
                struct stat status {};
                if (::lstat(path.c_str(), &status) != 0) {
                    continue;
                }
                if (S_ISDIR(status.st_mode)) {
                    if (recursive_) {
                        level.subFolders.push_back(name);
                    }
                    continue;
                }
                // A link to a file is that file; one to a folder is not followed. An output
                // being written beside its source is none.
                if (IsDirectory(path) || IsSpecialFile(path) || ExtensionOf(path) == "flv" ||
                    isTemporaryOutputName(name)) {
                    continue;
                }
                return Found{Found::Kind::File, std::move(path), level.relative};
            }
            level.directory.reset();
        }
        if (level.nextSubFolder == level.subFolders.size()) {
            levels_.pop_back();
            continue;
        }
        const std::string& name = level.subFolders[level.nextSubFolder++];
        auto sub = std::make_unique<Level>();
        sub->path = level.path + "/" + name;
        sub->relative = level.relative.empty() ? name : level.relative + "/" + name;
        if (isExcluded(sub->path)) {
            continue;
        }
        sub->directory.reset(::opendir(sub->path.c_str()));
        if (!sub->directory) {
            return Found{Found::Kind::UnreadableFolder, sub->path, sub->relative};
        }
        levels_.push_back(std::move(sub));
    }
    return std::nullopt;
}

}  // namespace morvane
