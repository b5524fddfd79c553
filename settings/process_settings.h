#pragma once

#include "settings/profiles.h"
#include "settings/settings_store.h"

namespace morvane {

// The process-wide store, on the settings file of defaultSettingsFilePath(). Built (and
// loaded) on first use, which start-up makes before anything else; written once more when the
// process exits, also through exit().
SettingsStore& processSettingsStore();

// The process-wide profile table, its Custom row seeded from processSettingsStore() on first
// use.
ProfileTable& processProfileTable();

}  // namespace morvane
