#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "log/conversion_log.h"
#include "tests/support/recording_log_window.h"
#include "tests/support/temp_dir.h"

namespace morvane {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

TEST(ConversionLog, AppendsExactBytesToBothSinks) {
    TempDir dir;
    const auto path = dir / "morvane.log";
    writeFile(path, "earlier run\n");
    ConversionLog log;
    test::RecordingLogWindow window;
    ASSERT_TRUE(log.open(path));
    log.setWindow(&window);

    const std::string longLine(200, 'a');
    const std::string wideLine = [] {
        std::string text;
        for (int i = 0; i < 130; ++i) {
            text += "é";  // two bytes each: 260 bytes in all
        }
        return text;
    }();
    log.writeLine("Output filename: ");
    log.writeLink("/out/zoë.flv");
    log.writeLine("\n");
    log.writeLine("done\n");
    log.writeLine(longLine);
    log.writeLine(wideLine);
    log.writeLine(std::string_view("cut\0here", 8));
    log.close();
    log.writeLine("after close\n");

    EXPECT_EQ(readFile(path),
              "earlier run\nOutput filename: /out/zoë.flv\ndone\n" + longLine + wideLine + "cut");
    const std::vector<std::string> expected{
        "Output filename: ", "</out/zoë.flv>", "\n", "done\n", longLine, wideLine, "cut",
        "after close\n"};
    EXPECT_EQ(window.entries(), expected);
}

TEST(ConversionLog, LinesOfConcurrentWritersStayWhole) {
    TempDir dir;
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

    const std::string content = readFile(path);
    ASSERT_EQ(content.size(), 4U * 500U * 301U);
    for (size_t at = 0; at < content.size(); at += 301) {
        ASSERT_EQ(content.substr(at, 301), std::string(300, content[at]) + "\n") << at;
    }
}

TEST(ConversionLog, GoesOnToTheWindowWhenTheFileCannotBeOpened) {
    TempDir dir;
    ConversionLog log;
    test::RecordingLogWindow window;
    log.setWindow(&window);
    EXPECT_FALSE(log.open(dir / "missing-folder/morvane.log"));
    log.writeLine("still shown\n");
    EXPECT_EQ(window.entries(), std::vector<std::string>{"still shown\n"});
}

}  // namespace
}  // namespace morvane
