#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <atomic>
#include <barrier>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "settings/settings_file.h"
#include "settings/settings_location.h"
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

TEST(SettingsFile, TextsAndNumbersSurviveARoundTripThroughASymbolicLink) {
    TempDir dir;
    const auto path = dir / "settings.reg";
    writeFile(dir / "real.reg", "");
    std::filesystem::create_symlink(dir / "real.reg", path);
    const std::vector<std::pair<std::string, std::string>> texts{
        {"Quote", "say \"cheese\""},
        {"Backslash", "C:\\clips\\a\\"},
        {"Lines", "one\ntwo\r\nthree\n"},
        {"Letters", "/home/zoë/Видео/映画 🎬"},
        {"Long", "/" + std::string(3999, 'p')},
        {"Empty", ""},
        {"Tricky \"name\"\\\n", "value"}};
    const std::vector<std::pair<std::string, int32_t>> numbers{
        {"Minus one", -1}, {"Zero", 0}, {"Largest", 2147483647}, {"Smallest", -2147483647 - 1}};
    auto store = storeAt(path);
    for (const auto& [name, text] : texts) {
        store->setText(name, text);
    }
    for (const auto& [name, number] : numbers) {
        store->setNumber(name, number);
    }
    ASSERT_TRUE(store->writeAll());
    EXPECT_TRUE(std::filesystem::is_symlink(path)) << "the link was replaced";
    const std::string file = readFile(dir / "real.reg");
    EXPECT_NE(file.find("\"Minus one\"=dword:ffffffff\n"), std::string::npos);
    EXPECT_NE(file.find("\"Smallest\"=dword:80000000\n"), std::string::npos);
    EXPECT_NE(file.find("\"Lines\"=\"one\\ntwo\\r\\nthree\\n\"\n"), std::string::npos);

    auto reloaded = storeAt(path);
    for (const auto& [name, text] : texts) {
        EXPECT_EQ(reloaded->getText(name), text) << name;
    }
    for (const auto& [name, number] : numbers) {
        EXPECT_EQ(reloaded->getNumber(name), number) << name;
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
    const std::string before =
        "\xEF\xBB\xBF; written by hand\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvane]\r\n"
        "\r\n"
        "\"Blob\"=hex:01,02,03\r\n"
        "\"Width\"=dword:0000014G\r\n"
        "\"Broken\"=\"no end\n"
        "\"Height\"=DWORD:1\n"
        "garbage line\n"
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
    EXPECT_EQ(store->getText("Source"), "/new");
    EXPECT_EQ(store->getNumber("Size Mode"), 10);
    store->setNumber("Width", 320);
    store->setNumber("Mode", 1);
    store->setText("Destination Path", "/out");
    store->setNumber("Audio Mode", 0);
    EXPECT_EQ(readFile(path), before);
    store.reset();
    EXPECT_EQ(readFile(path),
              "\xEF\xBB\xBF; written by hand\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvane]\r\n"
              "\r\n"
              "\"Blob\"=hex:01,02,03\r\n"
              "\"Width\"=dword:00000140\n"
              "\"Broken\"=\"no end\n"
              "\"Height\"=DWORD:1\n"
              "garbage line\n"
              "\"Size Mode\"=dword:0000000a\n"
              "\"Source\"=\"/new\"\n"
              "\"Mode\"=dword:00000001\n" +
                  kept + "\"Audio Mode\"=dword:00000000\n\"Destination Path\"=\"/out\"\n");
}

TEST(SettingsFile, FirstRunCreatesThePrivateFileAndFolderOrGoesOnWithout) {
    TempDir dir;
    const auto folder = dir / "config/morvane";
    auto store = storeAt(folder / "settings.reg");

    using std::filesystem::perms;
    EXPECT_EQ(status(folder).permissions(), perms::owner_all);
    EXPECT_EQ(status(folder / "settings.reg").permissions(),
              perms::owner_read | perms::owner_write);
    EXPECT_EQ(readFile(folder / "settings.reg"), "");

    // A folder that cannot be made leaves the store on what it holds.
    writeFile(dir / "not-a-folder", "");
    auto homeless = storeAt(dir / "not-a-folder/morvane/settings.reg");
    EXPECT_FALSE(homeless->load());
    homeless->setNumber("Width", 640);
    EXPECT_FALSE(homeless->writeAll());
    EXPECT_EQ(homeless->getNumber("Width"), 640);
}

TEST(SettingsFile, AFailedWriteLeavesTheOldFileWhole) {
    TempDir dir;
    const auto path = dir / "settings.reg";
    auto store = storeAt(path);
    store->setText("Source", "/old");
    ASSERT_TRUE(store->writeAll());
    const std::string before = readFile(path);

    // A file-size limit below the new text makes the write fail as a full disk would.
    store->setText("Source", std::string(64 * 1024, 'x'));
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool written = store->writeAll();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "a temporary file is left behind";
}

TEST(SettingsFile, ConcurrentWritersNeitherTearTheFileNorLoseAValue) {
    TempDir dir;
    const auto path = dir / "settings.reg";
    writeFile(path, "; keep me\n");
    // Each store holds only what it sets; in every round all of them write a new value at once.
    std::vector<std::unique_ptr<SettingsStore>> stores;
    for (int i = 0; i < 4; ++i) {
        stores.push_back(storeAt(path));
        stores.back()->setText("Writer " + std::to_string(i), std::string(5000, 'a' + i));
        stores.back()->setNumber("Shared", i);
    }
    std::barrier together(4);
    std::atomic<int> finished{0};
    std::vector<std::thread> writers;
    for (int i = 0; i < 4; ++i) {
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
    for (auto& writer : writers) {
        writer.join();
    }

    auto reloaded = storeAt(path);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(reloaded->getText("Writer " + std::to_string(i)), std::string(5000, 'a' + i));
        EXPECT_EQ(reloaded->getNumber("Round " + std::to_string(i)), 20) << "a write was lost";
    }
    EXPECT_GE(reloaded->getNumber("Shared"), 0);
    EXPECT_TRUE(readFile(path).starts_with("; keep me\n"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "a temporary file is left behind";
}

TEST(SettingsStore, ANameHoldsOneValueOfOneType) {
    SettingsStore store(nullptr);
    store.setText("Source", "C:\\a\\b.avi");
    store.setNumber("Width", 320);
    // Reading a name as the other type finds nothing; setting it replaces the type.
    EXPECT_EQ(store.getNumber("Source"), -1);
    EXPECT_EQ(store.getText("Width"), "");
    store.setText("Width", "wide");
    EXPECT_EQ(store.getNumber("Width"), -1);
    EXPECT_EQ(store.getText("Width"), "wide");

    // A text ends at its first NUL; an empty text is a value.
    store.setText("Destination File", std::string_view("\0b", 2));
    EXPECT_TRUE(store.holds("Destination File"));
    EXPECT_EQ(store.getText("Destination File"), "");
}

TEST(SettingsLocation, FollowsXdgConfigHomeOnlyWhenAbsolute) {
    EXPECT_EQ(settingsFilePath("/x/cfg", "/home/ann"), "/x/cfg/morvane/settings.reg");
    EXPECT_EQ(settingsFilePath(nullptr, "/home/ann"), "/home/ann/.config/morvane/settings.reg");
    EXPECT_EQ(settingsFilePath("", "/home/ann"), "/home/ann/.config/morvane/settings.reg");
    EXPECT_EQ(settingsFilePath("cfg", "/home/ann"), "/home/ann/.config/morvane/settings.reg");
    EXPECT_EQ(settingsFilePath(nullptr, nullptr), "");
}

}  // namespace
}  // namespace morvane
