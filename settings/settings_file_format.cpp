#include "settings/settings_file_format.h"

#include <cstdio>

namespace morvane {
namespace {

constexpr std::string_view kBlanks = " \t\r";

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Reads a quoted, escaped text at the start of `text`; on success `text` is left just past
// the closing quote.
std::optional<std::string> takeQuoted(std::string_view& text) {
    if (text.empty() || text.front() != '"') {
        return std::nullopt;
    }
    std::string result;
    for (size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            text.remove_prefix(i + 1);
            return result;
        }
        if (c != '\\') {
            result.push_back(c);
            continue;
        }
        if (++i == text.size()) {
            break;
        }
        switch (text[i]) {
            case '\\':
                result.push_back('\\');
                break;
            case '"':
                result.push_back('"');
                break;
            case 'n':
                result.push_back('\n');
                break;
            case 'r':
                result.push_back('\r');
                break;
            default:
                return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<int32_t> parseDword(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (const char c : digits) {
        uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        value = (value << 4) | digit;
    }
    return static_cast<int32_t>(value);
}

bool isTypeName(std::string_view type) {
    if (type.empty()) {
        return false;
    }
    for (const char c : type) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                             (c >= '0' && c <= '9') || c == '(' || c == ')' || c == '_';
        if (!allowed) {
            return false;
        }
    }
    return true;
}

void appendQuoted(std::string& out, std::string_view text) {
    out.push_back('"');
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out.push_back(c);
        }
    }
    out.push_back('"');
}

}  // namespace

SettingsLine parseSettingsLine(std::string_view line) {
    SettingsLine parsed;
    std::string_view rest = trimmed(line);
    if (rest.empty() || rest.front() == ';' || rest.front() == '[') {
        return parsed;
    }
    parsed.kind = SettingsLine::Kind::Malformed;
    parsed.name = takeQuoted(rest);
    if (!parsed.name) {
        return parsed;
    }
    rest = trimmed(rest);
    if (rest.empty() || rest.front() != '=') {
        return parsed;
    }
    rest = trimmed(rest.substr(1));

    if (!rest.empty() && rest.front() == '"') {
        std::optional<std::string> text = takeQuoted(rest);
        if (text && trimmed(rest).empty()) {
            parsed.kind = SettingsLine::Kind::Value;
            parsed.value = SettingValue::ofText(std::move(*text));
        }
        return parsed;
    }
    const size_t colon = rest.find(':');
    if (colon == std::string_view::npos || !isTypeName(rest.substr(0, colon))) {
        return parsed;
    }
    if (rest.substr(0, colon) != "dword") {
        parsed.kind = SettingsLine::Kind::OtherType;
        return parsed;
    }
    if (const std::optional<int32_t> number = parseDword(rest.substr(colon + 1))) {
        parsed.kind = SettingsLine::Kind::Value;
        parsed.value = SettingValue::ofNumber(*number);
    }
    return parsed;
}

std::string formatSettingsLine(std::string_view name, const SettingValue& value) {
    std::string line;
    appendQuoted(line, name);
    line.push_back('=');
    if (value.type == SettingType::Number) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "dword:%08x", static_cast<uint32_t>(value.number));
        line += digits;
    } else {
        appendQuoted(line, value.text);
    }
    return line;
}

}  // namespace morvane
