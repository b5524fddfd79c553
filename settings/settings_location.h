#pragma once

#include <filesystem>

namespace morvane {

// $XDG_CONFIG_HOME/morvane/settings.reg, or $HOME/.config/morvane/settings.reg when
// XDG_CONFIG_HOME is unset, empty or not absolute. Empty when no home folder is known.
std::filesystem::path settingsFilePath(const char* xdgConfigHome, const char* home);

// The same, from this process's environment (and the password database when HOME is unset).
std::filesystem::path defaultSettingsFilePath();

}  // namespace morvane
