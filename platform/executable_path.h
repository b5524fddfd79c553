#pragma once

#include <filesystem>

namespace morvane {

// The folder that holds the running executable (from /proc/self/exe); empty when unknown.
std::filesystem::path executableDirectory();

}  // namespace morvane
