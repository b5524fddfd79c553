#include "batch/source_walk.h"

#include <filesystem>
#include <map>

#include "files/folder_walk.h"
#include "files/output_paths.h"
#include "settings/profiles.h"
#include "source/media_duration.h"

namespace morvane {
namespace {

bool isFolder(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

}  // namespace

SourceWalk::~SourceWalk() {
    stop();
}

void SourceWalk::start(BatchSources sources, SourceFileList& list) {
    stop();
    {
        std::lock_guard lock(mutex_);
        files_.clear();
        durations_.clear();
        ended_ = false;
        leftOut_ = 0;
    }
    list.beginFilling();
    thread_ = std::jthread([this, sources = std::move(sources), &list](std::stop_token stopping) {
        walk(stopping, sources, list);
        std::lock_guard lock(mutex_);
        ended_ = true;
        list.endFilling();
    });
}

void SourceWalk::stop() {
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
}

void SourceWalk::walk(const std::stop_token& stopping, const BatchSources& sources,
                      SourceFileList& list) {
    std::map<std::string, std::string> sourceOfOutput;
    const auto leaveOut = [&](std::string notice) {
        list.append(SourceEntry{{}, {}, {}, std::move(notice)});
        std::lock_guard lock(mutex_);
        ++leftOut_;
    };
    const auto take = [&](const std::string& path, const std::string& relativeFolder) {
        const std::string folder = relativeFolder.empty()
                                       ? sources.destination
                                       : sources.destination + "/" + relativeFolder;
        std::string output =
            furtherFileOutputPath(sources.keepExtension ? kModeDirectory : kModeFile, folder, path);
        if (!sources.firstOutput.empty() && sourceOfOutput.empty()) {
            output = sources.firstOutput;
        }
        const auto [taken, added] = sourceOfOutput.emplace(output, path);
        std::error_code error;
        if (!added) {
            leaveOut("Skipped " + path + ": " + output + " is written from " + taken->second +
                     " already.\n\n");
        } else if (sources.skipExisting && std::filesystem::exists(output, error)) {
            leaveOut("Skipped " + path + ": " + output +
                     " exists already (--overwrite replaces it).\n\n");
        } else {
            {
                std::lock_guard lock(mutex_);
                files_.push_back(path);
            }
            list.append(SourceEntry{
                path, output, relativeFolder.empty() ? std::string() : sources.destination, {}});
            if (sources.readDurations && !stopping.stop_requested()) {
                const int64_t duration = probeDurationMs(path);
                std::lock_guard lock(mutex_);
                durations_.push_back(duration);
            }
        }
    };
    for (const std::string& root : sources.roots) {
        if (stopping.stop_requested()) {
            return;
        }
        if (!sources.foldersGiveTheirFiles || !isFolder(root)) {
            take(root, {});
            continue;
        }
        FolderWalk folder(root, sources.subFolders, sources.destination);
        while (!stopping.stop_requested()) {
            const std::optional<FolderWalk::Found> found = folder.next();
            if (!found) {
                break;
            }
            if (found->kind == FolderWalk::Found::Kind::UnreadableFolder) {
                leaveOut("Could not read the folder " + found->path +
                         ", its files are skipped.\n\n");
            } else {
                take(found->path, found->relativeFolder);
            }
        }
        if (stopping.stop_requested()) {
            return;
        }
    }
}

size_t SourceWalk::fileCount() const {
    std::lock_guard lock(mutex_);
    return files_.size();
}

std::string SourceWalk::file(size_t index) const {
    std::lock_guard lock(mutex_);
    return index < files_.size() ? files_[index] : std::string();
}

std::vector<int64_t> SourceWalk::durations() const {
    std::lock_guard lock(mutex_);
    return durations_;
}

bool SourceWalk::ended() const {
    std::lock_guard lock(mutex_);
    return ended_;
}

int SourceWalk::leftOut() const {
    std::lock_guard lock(mutex_);
    return leftOut_;
}

}  // namespace morvane
