#include <gtest/gtest.h>

#include <memory>
#include <tuple>

#include "settings/setting_keys.h"
#include "settings/settings_file.h"
#include "settings/settings_rules.h"
#include "tests/support/temp_dir.h"

namespace morvane {
namespace {

const char* const kCompleteFile =
    "\"Size Mode\"=dword:00000004\n\"Width\"=dword:00000280\n\"Height\"=dword:000001e0\n"
    "\"Profile\"=dword:00000003\n\"Video Quality\"=dword:000002bc\n"
    "\"Audio Quality\"=dword:00000080\n\"Custom Video Quality\"=dword:000003e8\n"
    "\"Custom Audio Quality\"=dword:00000040\n\"Mode\"=dword:00000001\n"
    "\"Audio Mode\"=dword:00000001\n\"Custom Audio Mode\"=dword:00000002\n"
    "\"Source\"=\"/in\"\n\"Source Directory\"=\"/in\"\n";

class SettingsRules : public ::testing::Test {
protected:
    std::unique_ptr<SettingsStore> storeWith(const std::string& content) {
        test::writeFile(dir_ / "settings.reg", content);
        return std::make_unique<SettingsStore>(
            std::make_unique<FileSettingsBacking>(dir_ / "settings.reg"));
    }
    test::TempDir dir_;
};

TEST_F(SettingsRules, ACompleteFileIsKeptAndAnyMissingOrInvalidNumberResetsEverything) {
    auto complete = storeWith(kCompleteFile);
    loadAndValidate(*complete);
    EXPECT_EQ(complete->getNumber(keys::kSizeMode), 4);
    EXPECT_EQ(complete->getNumber(keys::kWidth), 640);
    EXPECT_EQ(complete->getText(keys::kSource), "/in");

    SettingsStore defaults(nullptr);
    resetToDefaults(defaults);
    // -1 counts as missing; an index that names no table row would read past the tables.
    const std::pair<std::string, std::string> kBroken[] = {
        {"\"Custom Audio Mode\"=dword:00000002\n", ""},
        {"\"Width\"=dword:00000280\n", ""},
        {"\"Mode\"=dword:00000001", "\"Mode\"=dword:ffffffff"},
        {"\"Profile\"=dword:00000003", "\"Profile\"=dword:00000005"},
        {"\"Size Mode\"=dword:00000004", "\"Size Mode\"=dword:ffffffff"},
        {"\"Size Mode\"=dword:00000004", "\"Size Mode\"=dword:00000007"}};
    for (const auto& [line, replacement] : kBroken) {
        SCOPED_TRACE(line + " made " + replacement);
        std::string content = kCompleteFile;
        content.replace(content.find(line), line.size(), replacement);
        auto store = storeWith(content);
        loadAndValidate(*store);
        for (const std::string_view key :
             {keys::kSizeMode, keys::kWidth, keys::kHeight, keys::kProfile, keys::kVideoQuality,
              keys::kAudioQuality, keys::kCustomVideoQuality, keys::kCustomAudioQuality,
              keys::kMode, keys::kAudioMode, keys::kCustomAudioMode, keys::kSource,
              keys::kSourceFile, keys::kDestinationPath, keys::kDestinationFile}) {
            EXPECT_TRUE(store->value(key) == defaults.value(key)) << key << " is not reset";
        }
        EXPECT_EQ(store->getText(keys::kSourceDirectory), "/in");
    }

    // "Codec" came later: missing it means Sorenson Spark, and a value that names no format is
    // brought back to it without touching the rest.
    for (const std::string codec : {"", "\"Codec\"=dword:00000001\n", "\"Codec\"=\"h264\"\n",
                                    "\"Codec\"=dword:ffffffff\n", "\"Codec\"=dword:00000007\n"}) {
        SCOPED_TRACE(codec);
        auto store = storeWith(kCompleteFile + codec);
        loadAndValidate(*store);
        EXPECT_EQ(store->getNumber(keys::kCodec), codec.find("01") != std::string::npos ? 1 : 0);
        EXPECT_EQ(store->getNumber(keys::kWidth), 640) << "the rest is lost";
    }
}

TEST_F(SettingsRules, OnlyATableRowIsSelectedAndTheCustomRowIsSeededFromTheCustomKeys) {
    auto store = storeWith(kCompleteFile);
    selectProfile(*store, ProfileTable::kRowCount);
    EXPECT_EQ(store->getNumber(keys::kProfile), 3);

    ProfileTable seeded;
    seedCustomRow(*store, seeded);
    const Profile& custom = seeded.row(ProfileTable::kCustomRow);
    EXPECT_EQ(std::tuple(custom.videoKbps, custom.audioKbps, custom.audioMode, custom.channels),
              std::tuple(1000, 64, kAudioDisabled, 0));
}

}  // namespace
}  // namespace morvane
