#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <atomic>
#include <barrier>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "settings/setting_keys.h"
#include "settings/settings_file.h"
#include "settings/settings_location.h"
#include "settings/settings_rules.h"
#include "settings/settings_store.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace morvane {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

std::unique_ptr<SettingsStore> storeAt(const std::filesystem::path& path) {
    return std::make_unique<SettingsStore>(std::make_unique<FileSettingsBacking>(path));
}

// A name holds one value of one type: setting the other type replaces it, and reading it as the
// other type finds nothing. A text ends at its first NUL; an empty text is a value.
TEST(SettingsFile, TextsAndNumbersSurviveARoundTripThroughASymbolicLink) {
    TempDir dir;
    const auto path = dir / "settings.reg";
    writeFile(dir / "real.reg", "");
    std::filesystem::create_symlink(dir / "real.reg", path);
    const std::vector<std::pair<std::string, std::string>> texts{
        {"Quote", "say \"cheese\""},      {"Backslash", "C:\\clips\\a\\"},
        {"Lines", "one\ntwo\r\nthree\n"}, {"Letters", "/home/zoë/Видео/映画 🎬"},
        {"Long", std::string(4000, 'p')}, {"Empty", ""},
        {"Tricky \"name\"\\\n", "value"}};
    const std::vector<std::pair<std::string, int32_t>> numbers{
        {"Minus one", -1}, {"Zero", 0}, {"Largest", 2147483647}, {"Smallest", -2147483647 - 1}};
    auto store = storeAt(path);
    store->setNumber("Quote", 1);
    store->setText("Zero", "0");
    for (const auto& [name, text] : texts) {
        store->setText(name, text);
    }
    for (const auto& [name, number] : numbers) {
        store->setNumber(name, number);
    }
    store->setText("Nul", std::string_view("\0b", 2));
    ASSERT_TRUE(store->writeAll());
    EXPECT_TRUE(std::filesystem::is_symlink(path)) << "the link was replaced";
    const std::string file = readFile(dir / "real.reg");
    EXPECT_NE(file.find("\"Minus one\"=dword:ffffffff\n"), std::string::npos);
    EXPECT_NE(file.find("\"Smallest\"=dword:80000000\n"), std::string::npos);
    EXPECT_NE(file.find("\"Lines\"=\"one\\ntwo\\r\\nthree\\n\"\n"), std::string::npos);

    auto reloaded = storeAt(path);
    for (const SettingsStore* held : {store.get(), reloaded.get()}) {
        for (const auto& [name, text] : texts) {
            EXPECT_EQ(held->getText(name), text) << name;
            EXPECT_EQ(held->getNumber(name), -1) << name;
        }
        for (const auto& [name, number] : numbers) {
            EXPECT_EQ(held->getNumber(name), number) << name;
            EXPECT_EQ(held->getText(name), "") << name;
        }
        EXPECT_TRUE(held->holds("Nul"));
        EXPECT_EQ(held->getText("Nul"), "");
    }
}

// A file written by hand keeps its other lines, malformed ones included; values in memory win
// over a load; and all values are written when the store goes, new names after the file's in
// ascending order.
TEST(SettingsFile, KeepsOtherLinesSkipsMalformedOnesAndWritesAllWhenTheStoreGoes) {
    TempDir dir;
    const auto path = dir / "settings.reg";
    // Kept as they are: nine digits, no digits, an unknown escape, text after the value.
    const std::string kept =
        "\"Nine\"=dword:123456789\n\"NoDigits\"=dword:\n\"Tab\"=\"tab\\t\"\n\"Tail\"=\"x\" y\n";
    // Kept as they are too, around the lines of the names set again.
    const std::string top =
        "\xEF\xBB\xBF; written by hand\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvane]\r\n"
        "\r\n"
        "\"Blob\"=hex:01,02,03\r\n";
    const std::string middle =
        "\"Broken\"=\"no end\n"
        "\"Height\"=DWORD:1\n"
        "garbage line\n";
    const std::string before = top + "\"Width\"=dword:0000014G\r\n" + middle +
                               "\"Size Mode\"=dword:0000000A\r\n"
                               "\"Source\"=\"/a \\\"b\\\"\"  \n"
                               "\"Source\"=\"/shadowed\"\n"
                               "\"Mode\"=hex(b):00\n" +
                               kept;
    writeFile(path, before);
    auto store = storeAt(path);
    EXPECT_EQ(store->getNumber("Size Mode"), 10);  // lines after bad ones still load
    EXPECT_EQ(store->getText("Source"), "/a \"b\"");
    for (const char* name :
         {"Width", "Height", "Blob", "Mode", "Nine", "NoDigits", "Tab", "Tail"}) {
        EXPECT_FALSE(store->holds(name)) << name;
    }

    store->clear();
    store->setText("Source", "/new");
    EXPECT_TRUE(store->load());
    store->setNumber("Width", 320);
    store->setNumber("Mode", 1);
    store->setText("Destination Path", "/out");
    store->setNumber("Audio Mode", 0);
    EXPECT_EQ(readFile(path), before);
    store.reset();
    EXPECT_EQ(readFile(path), top + "\"Width\"=dword:00000140\n" + middle +
                                  "\"Size Mode\"=dword:0000000a\n"
                                  "\"Source\"=\"/new\"\n"
                                  "\"Mode\"=dword:00000001\n" +
                                  kept +
                                  "\"Audio Mode\"=dword:00000000\n\"Destination Path\"=\"/out\"\n");
}

// The first run makes the private folder and file, or goes on without them. A write replaces
// the file whole: one that fails leaves the old file, and concurrent ones neither tear it nor lose
// a value.
TEST(SettingsFile, FirstRunMakesThePrivateFileAndFolderAndWritesReplaceItWhole) {
    TempDir dir;
    const auto folder = dir / "config/morvane";
    const auto path = folder / "settings.reg";
    auto store = storeAt(path);
    using std::filesystem::perms;
    EXPECT_EQ(status(folder).permissions(), perms::owner_all);
    EXPECT_EQ(status(path).permissions(), perms::owner_read | perms::owner_write);
    EXPECT_EQ(readFile(path), "");

    store->setText("Source", "/old");
    ASSERT_TRUE(store->writeAll());
    const std::string before = readFile(path);
    // A file-size limit below the new text makes the write fail as a full disk would.
    store->setText("Source", std::string(64 * 1024, 'x'));
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limited { 4096, saved.rlim_max };
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool written = store->writeAll();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(test::namesIn(folder), std::vector<std::string>{"settings.reg"});

    // Four more stores, each holding only what it sets; in every round all of them write a new
    // value at once.
    writeFile(path, "; keep me\n");
    std::barrier together(4);
    std::atomic<int> finished{0};
    std::unique_ptr<SettingsStore> stores[4];
    std::vector<std::jthread> writers;  // joined when the test ends
    for (int i = 0; i < 4; ++i) {
        stores[i] = storeAt(path);
        stores[i]->setText("Writer " + std::to_string(i), std::string(5000, 'a' + i));
        stores[i]->setNumber("Shared", i);
        writers.emplace_back([&, i] {
            for (int round = 1; round <= 20; ++round) {
                stores[i]->setNumber("Round " + std::to_string(i), round);
                together.arrive_and_wait();
                EXPECT_TRUE(stores[i]->writeAll());
            }
            ++finished;
        });
    }
    if (!test::waitUntil([&] { return finished == 4; })) {
        test::failAndEnd("the writers did not finish within 60 s");
    }

    auto reloaded = storeAt(path);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(reloaded->getText("Writer " + std::to_string(i)), std::string(5000, 'a' + i));
        EXPECT_EQ(reloaded->getNumber("Round " + std::to_string(i)), 20) << "a write was lost";
    }
    EXPECT_GE(reloaded->getNumber("Shared"), 0);
    EXPECT_TRUE(readFile(path).starts_with("; keep me\n"));
    EXPECT_EQ(test::namesIn(folder), std::vector<std::string>{"settings.reg"});

    // A folder that cannot be made leaves the store on what it holds.
    writeFile(dir / "not-a-folder", "");
    auto homeless = storeAt(dir / "not-a-folder/morvane/settings.reg");
    EXPECT_FALSE(homeless->load());
    homeless->setNumber("Width", 640);
    EXPECT_FALSE(homeless->writeAll());
    EXPECT_EQ(homeless->getNumber("Width"), 640);
}

TEST(SettingsLocation, FollowsXdgConfigHomeOnlyWhenAbsolute) {
    EXPECT_EQ(settingsFilePath(nullptr, "/home/ann"), "/home/ann/.config/morvane/settings.reg");
    EXPECT_EQ(settingsFilePath("", "/home/ann"), "/home/ann/.config/morvane/settings.reg");
    EXPECT_EQ(settingsFilePath("cfg", "/home/ann"), "/home/ann/.config/morvane/settings.reg");
    EXPECT_EQ(settingsFilePath(nullptr, nullptr), "");
}

const char* const kCompleteFile =
    "\"Size Mode\"=dword:00000004\n\"Width\"=dword:00000280\n\"Height\"=dword:000001e0\n"
    "\"Profile\"=dword:00000003\n\"Video Quality\"=dword:000002bc\n"
    "\"Audio Quality\"=dword:00000080\n\"Custom Video Quality\"=dword:000003e8\n"
    "\"Custom Audio Quality\"=dword:00000040\n\"Mode\"=dword:00000001\n"
    "\"Audio Mode\"=dword:00000001\n\"Custom Audio Mode\"=dword:00000002\n"
    "\"Source\"=\"/in\"\n\"Source Directory\"=\"/in\"\n";

// A complete file is kept, and on it only a table row is selected and the Custom row is seeded
// from the custom keys.
TEST(SettingsRules, ACompleteFileIsKeptAndAnyMissingOrInvalidNumberResetsEverything) {
    TempDir dir;
    const auto validated = [&dir](const std::string& content) {
        writeFile(dir / "settings.reg", content);
        auto store = storeAt(dir / "settings.reg");
        loadAndValidate(*store);
        return store;
    };
    auto complete = validated(kCompleteFile);
    EXPECT_EQ(complete->getNumber(keys::kSizeMode), 4);
    EXPECT_EQ(complete->getNumber(keys::kWidth), 640);
    EXPECT_EQ(complete->getText(keys::kSource), "/in");
    selectProfile(*complete, ProfileTable::kRowCount);
    EXPECT_EQ(complete->getNumber(keys::kProfile), 3);
    ProfileTable seeded;
    seedCustomRow(*complete, seeded);
    const Profile& custom = seeded.row(ProfileTable::kCustomRow);
    EXPECT_EQ(std::tuple(custom.videoKbps, custom.audioKbps, custom.audioMode, custom.channels),
              std::tuple(1000, 64, kAudioDisabled, 0));

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
        auto store = validated(content);
        for (const std::string_view key :
             {keys::kSizeMode, keys::kWidth, keys::kHeight, keys::kProfile, keys::kVideoQuality,
              keys::kAudioQuality, keys::kCustomVideoQuality, keys::kCustomAudioQuality,
              keys::kMode, keys::kAudioMode, keys::kCustomAudioMode, keys::kSource,
              keys::kSourceFile, keys::kDestinationPath, keys::kDestinationFile}) {
            EXPECT_TRUE(store->value(key) == defaults.value(key)) << key << " is not reset";
        }
        EXPECT_EQ(store->getText(keys::kSourceDirectory), "/in");
    }

    // "Codec" and "Include Subfolders" came later: missing, they mean Sorenson Spark and off,
    // and a value that names no choice is brought back to that without touching the rest.
    const struct {
        std::string_view key;
        std::string line;
        int32_t value;
    } laterKeys[] = {
        {keys::kCodec, "", 0},
        {keys::kCodec, "\"Codec\"=dword:00000001\n", 1},
        {keys::kCodec, "\"Codec\"=\"h264\"\n", 0},
        {keys::kCodec, "\"Codec\"=dword:ffffffff\n", 0},
        {keys::kCodec, "\"Codec\"=dword:00000007\n", 0},
        {keys::kIncludeSubfolders, "", 0},
        {keys::kIncludeSubfolders, "\"Include Subfolders\"=dword:00000001\n", 1},
        {keys::kIncludeSubfolders, "\"Include Subfolders\"=dword:00000002\n", 0},
        {keys::kIncludeSubfolders, "\"Include Subfolders\"=\"yes\"\n", 0},
    };
    for (const auto& later : laterKeys) {
        SCOPED_TRACE(later.line);
        auto store = validated(kCompleteFile + later.line);
        EXPECT_EQ(store->getNumber(later.key), later.value);
        EXPECT_EQ(store->getNumber(keys::kWidth), 640) << "the rest is lost";
    }
}

}  // namespace
}  // namespace morvane
