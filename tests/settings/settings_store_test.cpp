#include <gtest/gtest.h>

#include <memory>

#include "settings/settings_file.h"
#include "settings/settings_store.h"
#include "tests/support/temp_dir.h"

namespace morvane {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

TEST(SettingsStore, ValuesInMemoryWinOverASecondLoad) {
    TempDir dir;
    writeFile(dir / "settings.reg", "\"Width\"=dword:00000280\n\"Height\"=dword:000001e0\n");
    SettingsStore store(std::make_unique<FileSettingsBacking>(dir / "settings.reg"));
    store.setNumber("Width", 320);
    store.clear();
    store.setNumber("Width", 320);
    EXPECT_TRUE(store.load());
    EXPECT_EQ(store.getNumber("Width"), 320);
    EXPECT_EQ(store.getNumber("Height"), 480);
}

TEST(SettingsStore, KeepsTypes) {
    SettingsStore store(nullptr);
    store.setText("Source", "C:\\a\\b.avi");
    ASSERT_TRUE(store.value("Source"));
    EXPECT_EQ(store.value("Source")->type, SettingType::Text);
    store.setNumber("Width", 320);

    // Reading a name as the other type finds nothing; setting it replaces the type.
    EXPECT_EQ(store.getNumber("Source"), -1);
    EXPECT_EQ(store.getText("Width"), "");
    store.setText("Width", "wide");
    EXPECT_EQ(store.getNumber("Width"), -1);
    EXPECT_EQ(store.getText("Width"), "wide");

    // An empty text is a value; a text ends at its first NUL.
    store.setText("Destination File", std::string_view("a\0b", 3));
    EXPECT_TRUE(store.holds("Destination File"));
    EXPECT_EQ(store.getText("Destination File"), "a");
    EXPECT_FALSE(store.holds("Missing"));
    EXPECT_FALSE(store.load());
    EXPECT_FALSE(store.writeAll());
}

TEST(SettingsStore, WritesInAscendingNameOrderAndAgainWhenDestroyed) {
    TempDir dir;
    const auto path = dir / "settings.reg";
    {
        SettingsStore store(std::make_unique<FileSettingsBacking>(path));
        store.setNumber("Width", 320);
        store.setText("Destination Path", "/out");
        store.setNumber("Audio Quality", 96);
        store.setText("Destination File", "a.flv");
        store.setNumber("Audio Mode", 1);
        EXPECT_EQ(readFile(path), "");
    }
    EXPECT_EQ(readFile(path),
              "\"Audio Mode\"=dword:00000001\n"
              "\"Audio Quality\"=dword:00000060\n"
              "\"Destination File\"=\"a.flv\"\n"
              "\"Destination Path\"=\"/out\"\n"
              "\"Width\"=dword:00000140\n");
}

}  // namespace
}  // namespace morvane
