#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/setting_value.h"

namespace morvane {

// The line syntax of the settings file, that of a registry export:
//   "Width"=dword:00000140        a number, eight hex digits of its two's complement
//   "Source"="/home/ann/clips"    a text; \\ \" \n \r are escapes inside the quotes
//   "Other"=type:data             a value of another type
// Blank lines and lines that begin with ';' or '[' carry no value.
struct SettingsLine {
    enum class Kind {
        NoValue,    // blank, comment or section line
        Value,      // a number or a text
        OtherType,  // "Name"=type:data of a type the store does not handle
        Malformed,  // anything else; `name` is set when the name itself could be read
    };
    Kind kind = Kind::NoValue;
    std::optional<std::string> name;
    SettingValue value;
};

SettingsLine parseSettingsLine(std::string_view line);
std::string formatSettingsLine(std::string_view name, const SettingValue& value);

}  // namespace morvane
