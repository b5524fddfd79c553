#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/setting_value.h"

namespace morvane {

// A value as the backing holds it; `value` is empty for a value of a type the store does not
// handle.
struct StoredValue {
    std::string name;
    std::optional<SettingValue> value;
};

// An open settings key: what can be enumerated and set while it is open.
class SettingsKey {
public:
    virtual ~SettingsKey() = default;
    // Every value of the key, in the order the backing holds them.
    virtual std::vector<StoredValue> values() = 0;
    // Sets (creates or replaces) a value; it reaches the backing no later than close().
    virtual void setValue(std::string_view name, const SettingValue& value) = 0;
    // Closes the key; false when the values set could not be stored.
    virtual bool close() = 0;
};

// Where the settings persist.
class SettingsBacking {
public:
    virtual ~SettingsBacking() = default;
    // Opens the key, creating it when it does not exist; `created` tells which happened.
    // Returns null when the key can be neither opened nor created.
    virtual std::unique_ptr<SettingsKey> openOrCreate(bool& created) = 0;
};

}  // namespace morvane
