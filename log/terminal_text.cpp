#include "log/terminal_text.h"

namespace morvane {
namespace {

bool isContinuation(unsigned char byte) {
    return (byte & 0xc0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at the start of `text`; 0 when there is none.
size_t sequenceLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    size_t length = 0;
    unsigned char low = 0x80;  // the second byte's range, narrower after some leads
    unsigned char high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : 0x80;   // no overlong forms
        high = lead == 0xed ? 0x9f : 0xbf;  // no surrogates
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        low = lead == 0xf0 ? 0x90 : 0x80;
        high = lead == 0xf4 ? 0x8f : 0xbf;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    const auto second = static_cast<unsigned char>(text[1]);
    if (second < low || second > high) {
        return 0;
    }
    for (size_t i = 2; i < length; ++i) {
        if (!isContinuation(static_cast<unsigned char>(text[i]))) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string terminalSafe(std::string_view text) {
    std::string safe;
    safe.reserve(text.size());
    size_t at = 0;
    while (at < text.size()) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            const bool control = (byte < 0x20 && byte != '\n' && byte != '\t') || byte == 0x7f;
            safe += control ? '?' : static_cast<char>(byte);
            ++at;
            continue;
        }
        const size_t length = sequenceLength(text.substr(at));
        // U+0080 to U+009F, the C1 controls, are 0xc2 0x80 to 0xc2 0x9f.
        const bool c1 =
            length == 2 && byte == 0xc2 && static_cast<unsigned char>(text[at + 1]) < 0xa0;
        if (length == 0 || c1) {
            safe += '?';
            at += length == 0 ? 1 : length;
        } else {
            safe.append(text.substr(at, length));
            at += length;
        }
    }
    return safe;
}

}  // namespace morvane
