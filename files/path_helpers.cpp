#include "files/path_helpers.h"

#include <sys/stat.h>

namespace morvane {

bool IsDirectory(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        return true;
    }
    return S_ISDIR(info.st_mode);
}

bool IsSpecialFile(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        return false;
    }
    return !S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode);
}

std::string DirectoryOf(const std::string& path) {
    if (IsDirectory(path)) {
        return path;
    }
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(0, slash);
}

bool HasExtension(std::string_view path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    return dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
}

std::string BaseNameOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    const size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    const size_t end = HasExtension(path) ? path.rfind('.') : path.size();
    return std::string(path.substr(start, end - start));
}

std::string ExtensionOf(std::string_view path) {
    const size_t dot = path.rfind('.');
    std::string extension(dot == std::string_view::npos ? path : path.substr(dot + 1));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return extension;
}

}  // namespace morvane
