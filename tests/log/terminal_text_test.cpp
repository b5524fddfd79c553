#include "log/terminal_text.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

TEST(TerminalText, KeepsTextAndLineBreaksAndDisarmsControlsAndBrokenBytes) {
    struct Case {
        std::string_view text;
        std::string_view shown;
    };
    const Case cases[] = {
        {"Output filename: /a/b.flv\n\tdone\n", "Output filename: /a/b.flv\n\tdone\n"},
        {"caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x8e\xac",
         "caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x8e\xac"},
        {"x\x1b]0;PWNED\ay\r\x7f", "x?]0;PWNED?y??"},
        {"\xc2\x9b"
         "2J \xc2\x85 \xc2\xa0",
         "?2J ? \xc2\xa0"},  // C1 CSI and NEL; no-break space
        {"\x9b"
         "2J",
         "?2J"},                                                     // a lone C1 byte
        {"\xff\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80", "??????????"},  // never UTF-8
        {"cut \xe6\x97", "cut ??"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(terminalSafe(c.text), c.shown) << c.text;
    }
}

}  // namespace
}  // namespace morvane
