#pragma once

#include <string>
#include <string_view>

namespace morvane {

// Path helpers on POSIX paths, with '/' as the only separator they look for.

// True for a directory, and for any path whose attributes cannot be read (one that does not
// exist, or the empty path).
bool IsDirectory(const std::string& path);

// True for a path that names, after following links, something other than a directory or a
// regular file: a named pipe, a socket, a device. Opening one may block or never end.
bool IsSpecialFile(const std::string& path);

// The path itself when IsDirectory says so; otherwise the text before its last '/' (the whole
// path when it has none).
std::string DirectoryOf(const std::string& path);

// Whether the file name (the text after the last '/') holds a '.'.
bool HasExtension(std::string_view path);

// The file name without its extension: the text after the last '/', up to the last '.' when
// that lies after the last '/'.
std::string BaseNameOf(std::string_view path);

// The text after the last '.' of the whole path, lower-cased (ASCII letters).
std::string ExtensionOf(std::string_view path);

}  // namespace morvane
