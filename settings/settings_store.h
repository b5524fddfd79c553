#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "settings/setting_value.h"
#include "settings/settings_backing.h"

namespace morvane {

// The process's settings: a map from value name to a typed value, loaded from a backing and
// written back to it. It knows nothing of what the names mean.
//
// Any thread may call any operation. Set, clear and each step of a load hold the store's
// lock, which is re-entrant; reads take it too, and return copies.
class SettingsStore {
public:
    // Builds the store and performs load().
    explicit SettingsStore(std::unique_ptr<SettingsBacking> backing);
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;
    // Performs destroy() unless that has been done.
    ~SettingsStore();

    // Fills in every name that the map does not hold yet from the backing: values already in
    // memory win. False when the backing cannot be opened or created.
    bool load();
    // Sets every value of the map on the backing, in ascending name order.
    bool writeAll();
    void setNumber(std::string_view name, int32_t value);
    // Stores the text up to its first NUL.
    void setText(std::string_view name, std::string_view text);
    // -1 when the name holds no number.
    int32_t getNumber(std::string_view name) const;
    // Empty when the name holds no text.
    std::string getText(std::string_view name) const;
    // Whether the name has a value at all (an empty text counts).
    bool holds(std::string_view name) const;
    std::optional<SettingValue> value(std::string_view name) const;
    void clear();
    // writeAll(), then clear(); the store stays usable.
    void destroy();

private:
    // Setting a value of the other type on a name replaces its entry.
    void set(std::string_view name, SettingValue value);

    std::unique_ptr<SettingsBacking> backing_;
    mutable std::recursive_mutex lock_;
    std::map<std::string, SettingValue, std::less<>> entries_;  // guarded by lock_
    bool destroyed_ = false;                                    // guarded by lock_
};

}  // namespace morvane
