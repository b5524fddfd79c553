#pragma once

#include <cstdint>
#include <string>

namespace morvane {

// The registry's type codes, which the settings file keeps as its value kinds.
enum class SettingType : uint32_t { Text = 1, Number = 4 };

// One typed value: a 32-bit signed number or a text.
struct SettingValue {
    SettingType type = SettingType::Number;
    int32_t number = 0;
    std::string text;  // UTF-8

    static SettingValue ofNumber(int32_t value) { return {SettingType::Number, value, {}}; }
    static SettingValue ofText(std::string value) {
        return {SettingType::Text, 0, std::move(value)};
    }

    bool operator==(const SettingValue&) const = default;
};

}  // namespace morvane
