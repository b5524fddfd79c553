#include "files/output_paths.h"

#include "files/path_helpers.h"
#include "settings/profiles.h"

namespace morvane {

std::string defaultDestinationFile(const std::string& sourcePath) {
    return BaseNameOf(sourcePath) + ".flv";
}

std::string fileModeOutputPath(const std::string& destinationPath,
                               const std::string& destinationFile) {
    return destinationPath + "/" + destinationFile;
}

std::string directoryBatchOutputPath(const std::string& destinationPath,
                                     const std::string& sourcePath) {
    if (!HasExtension(sourcePath)) {
        return destinationPath + "/" + BaseNameOf(sourcePath) + ".flv";
    }
    return destinationPath + "/" + BaseNameOf(sourcePath) + "." + ExtensionOf(sourcePath) + ".flv";
}

bool isTemporaryOutputName(std::string_view name) {
    constexpr std::string_view kEnd = ".part";
    constexpr size_t kDigits = 12;
    if (name.size() < 2 + kDigits + kEnd.size() + 1 || name.front() != '.' ||
        !name.ends_with(kEnd)) {
        return false;
    }
    const std::string_view digits = name.substr(name.size() - kEnd.size() - kDigits, kDigits);
    return name[name.size() - kEnd.size() - kDigits - 1] == '.' &&
           digits.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

std::string furtherFileOutputPath(int32_t mode, const std::string& destinationPath,
                                  const std::string& sourcePath) {
    switch (mode) {
        case kModeFile:
            return destinationPath + "/" + defaultDestinationFile(sourcePath);
        case kModeDirectory:
            return directoryBatchOutputPath(destinationPath, sourcePath);
        default:
            return destinationPath + "/" + BaseNameOf(sourcePath);
    }
}

}  // namespace morvane
