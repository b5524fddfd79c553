#include <gtest/gtest.h>

#include <memory>

#include "settings/setting_keys.h"
#include "settings/settings_file.h"
#include "settings/settings_rules.h"
#include "tests/support/temp_dir.h"

namespace morvane {
namespace {

using test::TempDir;
using test::writeFile;

const char* const kCompleteFile =
    "\"Size Mode\"=dword:00000004\n\"Width\"=dword:00000280\n\"Height\"=dword:000001e0\n"
    "\"Profile\"=dword:00000003\n\"Video Quality\"=dword:000002bc\n"
    "\"Audio Quality\"=dword:00000080\n\"Custom Video Quality\"=dword:000003e8\n"
    "\"Custom Audio Quality\"=dword:00000040\n\"Mode\"=dword:00000001\n"
    "\"Audio Mode\"=dword:00000001\n\"Custom Audio Mode\"=dword:00000002\n"
    "\"Source\"=\"/in\"\n\"Source Directory\"=\"/in\"\n";

void expectDefaults(const SettingsStore& store) {
    EXPECT_EQ(store.getNumber(keys::kSizeMode), 2);
    EXPECT_EQ(store.getNumber(keys::kWidth), 320);
    EXPECT_EQ(store.getNumber(keys::kHeight), 240);
    EXPECT_EQ(store.getNumber(keys::kProfile), 2);
    EXPECT_EQ(store.getNumber(keys::kVideoQuality), 400);
    EXPECT_EQ(store.getNumber(keys::kAudioQuality), 96);
    EXPECT_EQ(store.getNumber(keys::kCustomVideoQuality), 400);
    EXPECT_EQ(store.getNumber(keys::kCustomAudioQuality), 96);
    EXPECT_EQ(store.getNumber(keys::kMode), 0);
    EXPECT_EQ(store.getNumber(keys::kAudioMode), 0);
    EXPECT_EQ(store.getNumber(keys::kCustomAudioMode), 0);
    for (auto key :
         {keys::kSource, keys::kSourceFile, keys::kDestinationPath, keys::kDestinationFile}) {
        EXPECT_TRUE(store.holds(key));
        EXPECT_EQ(store.getText(key), "");
    }
}

class SettingsRules : public ::testing::Test {
protected:
    std::unique_ptr<SettingsStore> storeWith(const std::string& content) {
        writeFile(dir_ / "settings.reg", content);
        return std::make_unique<SettingsStore>(
            std::make_unique<FileSettingsBacking>(dir_ / "settings.reg"));
    }
    TempDir dir_;
};

TEST_F(SettingsRules, ACompleteFileIsKept) {
    auto store = storeWith(kCompleteFile);
    loadAndValidate(*store);
    EXPECT_EQ(store->getNumber(keys::kSizeMode), 4);
    EXPECT_EQ(store->getNumber(keys::kWidth), 640);
    EXPECT_EQ(store->getText(keys::kSource), "/in");
}

TEST_F(SettingsRules, AnyMissingOrInvalidNumberResetsEverything) {
    const std::string complete = kCompleteFile;
    for (const std::string& broken : {std::string("\"Custom Audio Mode\"=dword:00000002\n"),
                                      std::string("\"Width\"=dword:00000280\n")}) {
        std::string content = complete;
        content.erase(content.find(broken), broken.size());
        auto store = storeWith(content);
        loadAndValidate(*store);
        expectDefaults(*store);
        EXPECT_EQ(store->getText(keys::kSourceDirectory), "/in");
    }
    // -1 counts as missing; an index that names no table row would read past the tables.
    for (const std::string& replacement :
         {std::string("\"Mode\"=dword:ffffffff"), std::string("\"Profile\"=dword:00000005"),
          std::string("\"Size Mode\"=dword:ffffffff"), std::string("\"Size Mode\"=dword:7")}) {
        std::string content = complete;
        const std::string name = replacement.substr(0, replacement.find('='));
        const size_t at = content.find(name + "=");
        content.replace(at, content.find('\n', at) - at, replacement);
        auto store = storeWith(content);
        loadAndValidate(*store);
        expectDefaults(*store);
    }
}

TEST_F(SettingsRules, ProfilesCopyTheirRatesAndAudioMode) {
    auto store = storeWith("");
    ProfileTable table;
    resetToDefaults(*store);

    selectProfile(*store, 3);
    EXPECT_EQ(store->getNumber(keys::kVideoQuality), 700);
    EXPECT_EQ(store->getNumber(keys::kAudioQuality), 128);
    EXPECT_EQ(store->getNumber(keys::kAudioMode), 1);
    const Profile& high = table.row(3);
    EXPECT_EQ(high.sampleRate, 44100);
    EXPECT_EQ(high.bitsPerSample, 32);
    EXPECT_EQ(high.channels, 2);

    store->setNumber(keys::kCustomVideoQuality, 1000);
    store->setNumber(keys::kCustomAudioQuality, 64);
    store->setNumber(keys::kCustomAudioMode, 2);
    selectProfile(*store, 4);
    EXPECT_EQ(store->getNumber(keys::kVideoQuality), 1000);
    EXPECT_EQ(store->getNumber(keys::kAudioQuality), 64);
    EXPECT_EQ(store->getNumber(keys::kAudioMode), 2);

    selectCustomAudioMode(*store, table, kAudioDisabled);
    EXPECT_EQ(table.row(4).channels, 0);
    EXPECT_EQ(table.row(4).audioMode, 2);
    selectCustomAudioMode(*store, table, kAudioMono);
    EXPECT_EQ(table.row(4).channels, 1);
    EXPECT_EQ(store->getNumber(keys::kCustomAudioMode), 0);

    // With a preset profile the Custom row does not follow.
    selectProfile(*store, 1);
    selectCustomAudioMode(*store, table, kAudioStereo);
    EXPECT_EQ(table.row(4).channels, 1);
    EXPECT_EQ(store->getNumber(keys::kAudioMode), 1);

    selectProfile(*store, 9);
    EXPECT_EQ(store->getNumber(keys::kProfile), 1);
}

TEST_F(SettingsRules, EditsAreClampedAsUnsignedNumbers) {
    auto store = storeWith("");
    EXPECT_EQ(editWidth(*store, 5000).value, 1024);
    EXPECT_TRUE(editWidth(*store, 10).corrected);
    EXPECT_EQ(store->getNumber(keys::kWidth), 50);
    EXPECT_EQ(editHeight(*store, -5).value, 1024);
    const ClampedValue silent = editHeight(*store, 640);
    EXPECT_EQ(silent.value, 640);
    EXPECT_FALSE(silent.corrected);

    editCustomVideoRate(*store, 30);
    EXPECT_EQ(store->getNumber(keys::kCustomVideoQuality), 40);
    EXPECT_EQ(store->getNumber(keys::kVideoQuality), 40);
    editCustomAudioRate(*store, 2000);
    EXPECT_EQ(store->getNumber(keys::kCustomAudioQuality), 1024);
    EXPECT_EQ(store->getNumber(keys::kAudioQuality), 1024);

    EXPECT_EQ(parseDecimal(""), 0);
    EXPECT_EQ(parseDecimal("abc"), 0);
    EXPECT_EQ(parseDecimal("  640px"), 640);
    EXPECT_EQ(parseDecimal("-5"), -5);
    EXPECT_EQ(parseDecimal("99999999999"), 2147483647);
    EXPECT_EQ(clampToRange(parseDecimal("-99999999999"), kFrameSizeRange).value, 1024);
}

TEST_F(SettingsRules, TheCustomRowIsSeededFromTheCustomKeys) {
    ProfileTable firstRun;
    seedCustomRow(*storeWith(""), firstRun);
    EXPECT_EQ(firstRun.row(4).videoKbps, -1);
    EXPECT_EQ(firstRun.row(4).audioMode, -1);
    EXPECT_EQ(firstRun.row(4).channels, 2);
    EXPECT_EQ(firstRun.row(4).sampleRate, 22050);

    ProfileTable seeded;
    seedCustomRow(*storeWith(kCompleteFile), seeded);
    EXPECT_EQ(seeded.row(4).videoKbps, 1000);
    EXPECT_EQ(seeded.row(4).audioKbps, 64);
    EXPECT_EQ(seeded.row(4).audioMode, 2);
    EXPECT_EQ(seeded.row(4).channels, 0);
    EXPECT_EQ(seeded.row(4).bitsPerSample, 16);
}

}  // namespace
}  // namespace morvane
