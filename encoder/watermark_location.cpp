#include "encoder/watermark_location.h"

#include <cstdlib>

#include "platform/executable_path.h"
#include "platform/xdg_folders.h"

namespace morvane {

std::vector<std::filesystem::path> watermarkSearchPaths(
    const std::filesystem::path& programFolder, const std::filesystem::path& userDataFolder,
    const std::vector<std::filesystem::path>& systemDataFolders) {
    std::vector<std::filesystem::path> paths = {programFolder / "watermark.png"};
    if (!userDataFolder.empty()) {
        paths.push_back(userDataFolder / "morvane/watermark.png");
    }
    for (const std::filesystem::path& folder : systemDataFolders) {
        paths.push_back(folder / "morvane/watermark.png");
    }
    return paths;
}

std::vector<std::filesystem::path> defaultWatermarkSearchPaths() {
    return watermarkSearchPaths(executableDirectory(),
                                userDataFolder(std::getenv("XDG_DATA_HOME"), homeFolder()),
                                systemDataFolders(std::getenv("XDG_DATA_DIRS")));
}

std::filesystem::path firstExistingFile(const std::vector<std::filesystem::path>& paths) {
    for (const std::filesystem::path& path : paths) {
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error)) {
            return path;
        }
    }
    return {};
}

}  // namespace morvane
