// Whatever a file holds, the graph fails it with its message or decodes what it can: it never
// crashes, hangs, or reads or writes out of bounds (the sanitizer builds run this too).
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "source/decoding_graph.h"
#include "tests/source/graph_harness.h"
#include "tests/support/media_writer.h"
#include "tests/support/temp_dir.h"

namespace morvane {
namespace {

using namespace std::chrono_literals;
using test::GraphHarness;
using test::readFile;
using test::TempDir;
using test::writeFile;

struct BadInput {
    const char* name;
    // Makes the file from a good clip's bytes.
    std::function<std::string(const std::string& good)> make;
    // Whether the graph must refuse it outright.
    bool refused;
};

std::string flipped(std::string bytes, size_t from, size_t to) {
    uint32_t seed = 12345;
    for (size_t i = from; i < to && i < bytes.size(); i += 7) {
        seed = seed * 1664525 + 1013904223;
        bytes[i] = static_cast<char>(bytes[i] ^ static_cast<char>(seed >> 24));
    }
    return bytes;
}

const BadInput kBadInputs[] = {
    {"ZeroBytes", [](const std::string&) { return std::string(); }, true},
    {"TextRenamed", [](const std::string&) { return std::string("just some text\n", 15); }, true},
    {"HeaderOnly", [](const std::string& good) { return good.substr(0, 200); }, true},
    {"TruncatedAtOnePercent",
     [](const std::string& good) { return good.substr(0, good.size() / 100); }, false},
    {"TruncatedAtHalf", [](const std::string& good) { return good.substr(0, good.size() / 2); },
     false},
    {"TruncatedAtNinetyNinePercent",
     [](const std::string& good) { return good.substr(0, good.size() * 99 / 100); }, false},
    {"CorruptMiddle",
     [](const std::string& good) { return flipped(good, good.size() / 3, good.size() / 2); },
     false},
    {"CorruptEverywhere", [](const std::string& good) { return flipped(good, 64, good.size()); },
     false},
};

class BadInputs : public ::testing::TestWithParam<BadInput> {
protected:
    // The good clip that every bad file is made from, written once for the suite.
    static void SetUpTestSuite() {
        TempDir dir;
        test::ClipRecipe recipe;
        recipe.videoCodec = "libx264";
        writeClip(dir / "good.mkv", recipe);
        good_ = readFile(dir / "good.mkv");
    }
    static inline std::string good_;
};

TEST_P(BadInputs, AreRefusedOrDecodedAsFarAsTheyGo) {
    ASSERT_FALSE(good_.empty()) << "the good clip was not written";
    TempDir dir;
    const BadInput& input = GetParam();
    writeFile(dir / "bad.avi", input.make(good_));

    GraphHarness harness;
    const bool built = harness.build(dir / "bad.avi");
    EXPECT_TRUE(built || harness.logText() == DecodingGraph::kNoVideo) << harness.logText();
    if (input.refused) {
        EXPECT_FALSE(built);
    }
    if (built) {
        harness.runToEnd(30s);
        EXPECT_LE(harness.video().size(), 50U);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, BadInputs, ::testing::ValuesIn(kBadInputs),
                         [](const ::testing::TestParamInfo<BadInput>& param) {
                             return param.param.name;
                         });

TEST(DecodingGraph, RefusesWhatHoldsNoVideoItCanUse) {
    TempDir dir;
    test::ClipRecipe audioOnly;
    audioOnly.videoCodec = "";
    writeClip(dir / "audio-only.mkv", audioOnly);
    test::ClipRecipe huge;
    huge.container = "nut";
    huge.videoCodec = "rawvideo";
    huge.audioCodec = "";
    huge.width = 8200;
    huge.height = 2;
    huge.seconds = 0.2;
    writeClip(dir / "huge.nut", huge);
    std::filesystem::create_directories(dir / "dir.avi");

    for (const char* file : {"missing.avi", "audio-only.mkv", "huge.nut", "dir.avi"}) {
        GraphHarness harness;
        EXPECT_FALSE(harness.build(dir / file)) << file;
        EXPECT_EQ(harness.logText(), DecodingGraph::kNoVideo) << file;
    }
}

}  // namespace
}  // namespace morvane
