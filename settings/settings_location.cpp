#include "settings/settings_location.h"

#include <cstdlib>

#include "platform/xdg_folders.h"

namespace morvane {
namespace {

bool isAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

}  // namespace

std::filesystem::path settingsFilePath(const char* xdgConfigHome, const char* home) {
    std::filesystem::path configHome;
    if (isAbsolute(xdgConfigHome)) {
        configHome = xdgConfigHome;
    } else if (home != nullptr && home[0] != '\0') {
        configHome = std::filesystem::path(home) / ".config";
    } else {
        return {};
    }
    return configHome / "morvane" / "settings.reg";
}

std::filesystem::path defaultSettingsFilePath() {
    return settingsFilePath(std::getenv("XDG_CONFIG_HOME"), homeFolder().c_str());
}

}  // namespace morvane
