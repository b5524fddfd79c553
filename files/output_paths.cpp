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
