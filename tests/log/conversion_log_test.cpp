#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "log/conversion_log.h"
#include "log/terminal_text.h"
#include "tests/support/recording_log_window.h"
#include "tests/support/temp_dir.h"

namespace morvane {
namespace {

TEST(ConversionLog, AppendsExactBytesAndWholeLinesToBothSinksAndTheWindowAloneWithoutAFile) {
    test::TempDir dir;
    const auto path = dir / "morvane.log";
    test::writeFile(path, "earlier run\n");
    ConversionLog log;
    test::RecordingLogWindow window;
    ASSERT_TRUE(log.open(path));
    log.setWindow(&window);

    // Longer than any fixed buffer would be, in bytes and in characters.
    std::string longLine(200, 'a');
    for (int i = 0; i < 130; ++i) {
        longLine += "é";
    }
    log.writeLine("Output filename: ");
    log.writeLink("/out/zoë.flv");
    log.writeLine("\n");
    log.writeLine("done\n");
    log.writeLine(longLine);
    log.writeLine(std::string_view("cut\0here", 8));
    log.close();
    log.writeLine("after close\n");
    // A file that cannot be opened leaves the log to the window.
    EXPECT_FALSE(log.open(dir / "missing-folder/morvane.log"));
    log.writeLine("no file\n");

    EXPECT_EQ(test::readFile(path),
              "earlier run\nOutput filename: /out/zoë.flv\ndone\n" + longLine + "cut");
    EXPECT_EQ(window.entries(),
              (std::vector<std::string>{"Output filename: ", "</out/zoë.flv>", "\n", "done\n",
                                        longLine, "cut", "after close\n", "no file\n"}));

    // The lines of concurrent writers stay whole.
    ASSERT_TRUE(log.open(dir / "shared.log"));
    {
        std::vector<std::jthread> writers;  // joined at the end of the block
        for (char id = 'a'; id < 'e'; ++id) {
            writers.emplace_back([&log, id] {
                for (int i = 0; i < 500; ++i) {
                    log.writeLine(std::string(300, id) + "\n");
                }
            });
        }
    }
    log.close();

    const std::string content = test::readFile(dir / "shared.log");
    ASSERT_EQ(content.size(), 4U * 500U * 301U);
    for (size_t at = 0; at < content.size(); at += 301) {
        ASSERT_EQ(content.substr(at, 301), std::string(300, content[at]) + "\n") << at;
    }
}

TEST(TerminalText, KeepsTextAndLineBreaksAndDisarmsControlsAndBrokenBytes) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"Output filename: /a/caf\xc3\xa9 \xe6\x97\xa5\xf0\x9f\x8e\xac.flv\n\tdone\n",
         "Output filename: /a/caf\xc3\xa9 \xe6\x97\xa5\xf0\x9f\x8e\xac.flv\n\tdone\n"},
        {"x\x1b]0;PWNED\ay\r\x7f", "x?]0;PWNED?y??"},
        {"\302\2332J \xc2\x85 \xc2\xa0", "?2J ? \xc2\xa0"},  // C1 CSI and NEL; no-break space
        {"\2332J", "?2J"},                                   // a lone C1 byte
        {"\xff\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80", "??????????"},  // never UTF-8
        {"cut \xe6\x97", "cut ??"},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(terminalSafe(text), shown) << text;
    }
}

}  // namespace
}  // namespace morvane
