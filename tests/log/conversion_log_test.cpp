#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "log/conversion_log.h"
#include "tests/support/recording_log_window.h"
#include "tests/support/temp_dir.h"

namespace morvane {
namespace {

TEST(ConversionLog, AppendsExactBytesToBothSinksAndTheWindowAloneWithoutAFile) {
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
    const std::vector<std::string> expected{
        "Output filename: ", "</out/zoë.flv>", "\n", "done\n", longLine, "cut",
        "after close\n",     "no file\n"};
    EXPECT_EQ(window.entries(), expected);
}

TEST(ConversionLog, LinesOfConcurrentWritersStayWhole) {
    test::TempDir dir;
    const auto path = dir / "morvane.log";
    ConversionLog log;
    ASSERT_TRUE(log.open(path));
    std::vector<std::thread> writers;
    for (char id = 'a'; id < 'e'; ++id) {
        writers.emplace_back([&log, id] {
            for (int i = 0; i < 500; ++i) {
                log.writeLine(std::string(300, id) + "\n");
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    log.close();

    const std::string content = test::readFile(path);
    ASSERT_EQ(content.size(), 4U * 500U * 301U);
    for (size_t at = 0; at < content.size(); at += 301) {
        ASSERT_EQ(content.substr(at, 301), std::string(300, content[at]) + "\n") << at;
    }
}

}  // namespace
}  // namespace morvane
