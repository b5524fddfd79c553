#include "settings/setting_value.h"

namespace morvane {

uint32_t SettingValue::registrySize() const {
    if (type == SettingType::Number) {
        return 4;
    }
    uint32_t utf16Units = 0;
    for (const unsigned char byte : text) {
        if ((byte & 0xC0) != 0x80) {
            // A four-byte sequence becomes a surrogate pair.
            utf16Units += byte >= 0xF0 ? 2 : 1;
        }
    }
    return (utf16Units + 1) * 2;
}

}  // namespace morvane
