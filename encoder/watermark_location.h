#pragma once

#include <filesystem>
#include <vector>

namespace morvane {

// Where the watermark is looked for, in order: "watermark.png" in `programFolder`, then
// "morvane/watermark.png" in the user's data folder (when known) and in each system data
// folder.
std::vector<std::filesystem::path> watermarkSearchPaths(
    const std::filesystem::path& programFolder, const std::filesystem::path& userDataFolder,
    const std::vector<std::filesystem::path>& systemDataFolders);

// The same, for this process: beside its executable, then in its XDG data folders.
std::vector<std::filesystem::path> defaultWatermarkSearchPaths();

// The first of `paths` that is an existing file (links followed); empty when none is.
std::filesystem::path firstExistingFile(const std::vector<std::filesystem::path>& paths);

}  // namespace morvane
