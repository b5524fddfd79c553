#include "settings/process_settings.h"

#include <memory>

#include "settings/settings_file.h"
#include "settings/settings_location.h"
#include "settings/settings_rules.h"

namespace morvane {

SettingsStore& processSettingsStore() {
    static SettingsStore store(std::make_unique<FileSettingsBacking>(defaultSettingsFilePath()));
    return store;
}

ProfileTable& processProfileTable() {
    static ProfileTable table = [] {
        ProfileTable seeded;
        seedCustomRow(processSettingsStore(), seeded);
        return seeded;
    }();
    return table;
}

}  // namespace morvane
