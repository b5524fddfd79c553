#pragma once

#include <filesystem>
#include <memory>

#include "settings/settings_backing.h"

namespace morvane {

// Settings kept in a text file of registry-export value lines (see settings_file_format.h),
// which users and scripts may edit too. Setting values keeps every other line of the file
// as it is. The file is replaced atomically: the new text goes to a temporary file in the same
// folder, is flushed to disk and renamed over the old file, under an exclusive lock on the
// folder, so that concurrent writers and crashes never leave a torn or empty file.
class FileSettingsBacking : public SettingsBacking {
public:
    explicit FileSettingsBacking(std::filesystem::path path);

    // Creates a missing file (mode 0600) and its folders (mode 0700).
    std::unique_ptr<SettingsKey> openOrCreate(bool& created) override;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace morvane
