#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <memory>

#include "settings/settings_file.h"
#include "tests/support/temp_dir.h"

namespace morvane {
namespace {

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

TEST(SettingsStore, ValuesInMemoryWinOverALoadAndAllAreWrittenInNameOrderWhenDestroyed) {
    test::TempDir dir;
    const auto path = dir / "settings.reg";
    const std::string before = "\"Width\"=dword:00000280\n\"Height\"=dword:000001e0\n";
    test::writeFile(path, before);
    {
        SettingsStore store(std::make_unique<FileSettingsBacking>(path));
        store.clear();
        store.setNumber("Width", 320);
        EXPECT_TRUE(store.load());
        EXPECT_EQ(store.getNumber("Height"), 480);
        store.setText("Destination Path", "/out");
        store.setNumber("Audio Quality", 96);
        store.setText("Destination File", "a.flv");
        store.setNumber("Audio Mode", 1);
        EXPECT_EQ(test::readFile(path), before);
    }
    // Names already in the file keep their lines; the others follow in ascending order.
    EXPECT_EQ(test::readFile(path),
              "\"Width\"=dword:00000140\n"
              "\"Height\"=dword:000001e0\n"
              "\"Audio Mode\"=dword:00000001\n"
              "\"Audio Quality\"=dword:00000060\n"
              "\"Destination File\"=\"a.flv\"\n"
              "\"Destination Path\"=\"/out\"\n");
}

}  // namespace
}  // namespace morvane
