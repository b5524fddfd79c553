#include "platform/xdg_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace morvane {

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return home;
    }
    if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr) {
        return user->pw_dir;
    }
    return {};
}

std::filesystem::path userDataFolder(const char* xdgDataHome, const std::string& home) {
    if (xdgDataHome != nullptr && xdgDataHome[0] == '/') {
        return xdgDataHome;
    }
    if (home.empty()) {
        return {};
    }
    return std::filesystem::path(home) / ".local/share";
}

std::vector<std::filesystem::path> systemDataFolders(const char* xdgDataDirs) {
    std::vector<std::filesystem::path> folders;
    std::string_view rest = xdgDataDirs != nullptr ? xdgDataDirs : "";
    while (!rest.empty()) {
        const size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        if (folder.starts_with('/')) {
            folders.emplace_back(folder);
        }
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    if (folders.empty()) {
        folders = {"/usr/local/share", "/usr/share"};
    }
    return folders;
}

}  // namespace morvane
