#include "tools/progress_line.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

TEST(ProgressLine, FitsTheTerminalAndShowsNamesHarmlessly) {
    struct Case {
        ProgressFigures figures;
        size_t columns;
        const char* line;
    };
    const Case cases[] = {
        {{2, 5, "/videos/clip.mp4", 43, "00:01:12", 1.84},
         80,
         "[2/5] clip.mp4   43%  00:01:12 left  1.8x"},
        {{1, 1, "clip.mp4", 0, "00:00:00", 0}, 80, "[1/1] clip.mp4    0%  00:00:00 left"},
        // The name loses its beginning, never within a character (é is two bytes).
        {{1, 1, "a-long-name-é.mp4", 7, "00:00:09", 0}, 37, "[1/1] ...é.mp4    7%  00:00:09 left"},
        {{1, 1, "a-long-name-é.mp4", 7, "00:00:09", 0}, 36, "[1/1] ....mp4    7%  00:00:09 left"},
        {{1, 1, "bell\a\x1b[2J\xc2\x9b\n.mp4", 7, "00:00:09", 0},
         80,
         "[1/1] bell??[2J??.mp4    7%  00:00:09 left"},
        {{1, 1, "clip.mp4", 7, "00:00:09", 0}, 10, "[1/1]    "},
        {{1, 1, "clip.mp4", 7, "00:00:09", 0}, 0, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(progressLineText(c.figures, c.columns), c.line) << c.columns;
    }
}

}  // namespace
}  // namespace morvane
