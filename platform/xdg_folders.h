#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace morvane {

// The user's home folder: $HOME, or the password database's when HOME is unset or empty;
// empty when neither knows one.
std::string homeFolder();

// $XDG_DATA_HOME when it is absolute, else `home`/.local/share; empty without either.
std::filesystem::path userDataFolder(const char* xdgDataHome, const std::string& home);

// The absolute folders of $XDG_DATA_DIRS in their order, or /usr/local/share and /usr/share
// when it names none.
std::vector<std::filesystem::path> systemDataFolders(const char* xdgDataDirs);

}  // namespace morvane
