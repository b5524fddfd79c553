// The window during a folder batch, and what a screen reader is told of it. Runs on the
// offscreen platform, in the window tests' program.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "platform/tick_count.h"
#include "settings/setting_keys.h"
#include "settings/settings_file.h"
#include "settings/settings_rules.h"
#include "tests/support/media_writer.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/fake_dialog.h"
#include "ui/dialog_template.h"
#include "ui/main_dialog.h"

namespace morvane::ui {
namespace {

class WindowBatchTest : public ::testing::Test {
protected:
    WindowBatchTest() {
        resetToDefaults(settings_);
        dialog_.show();
    }
    QString text(ControlId id) const { return qobject_cast<QLabel*>(dialog_.control(id))->text(); }

    test::TempDir dir_;
    SettingsStore settings_{std::make_unique<FileSettingsBacking>(dir_ / "settings.reg")};
    ProfileTable profiles_;
    SourceFileList sources_;
    ConversionLog log_;
    test::FakeDialog fake_;
    MainDialog dialog_{settings_, profiles_, sources_, log_, fake_};
};

// Every control that takes the focus or shows a value has a name a screen reader can say.
TEST_F(WindowBatchTest, EveryControlHasAnAccessibleName) {
    for (const TemplateControl& row : kDialogTemplate) {
        auto* made = dialog_.findChild<QWidget*>(QString::fromUtf8(row.name.data()));
        ASSERT_NE(made, nullptr) << row.name;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(made);
        ASSERT_NE(accessible, nullptr) << row.name;
        EXPECT_FALSE(accessible->text(QAccessible::Name).trimmed().isEmpty())
            << row.name << " is nameless";
    }
}

// A folder of three clips: which file of three, the batch's time left and its share in the
// title, back to the plain title when it ends, and after Stop.
TEST_F(WindowBatchTest, AFolderBatchTellsWhichFileAndHowFarInTheTitle) {
    std::filesystem::create_directories(dir_ / "clips");
    std::filesystem::create_directories(dir_ / "out");
    test::ClipRecipe clip;
    clip.width = 640;
    clip.height = 360;
    clip.seconds = 4.0;
    for (const char* name : {"a.mkv", "b.mkv", "c.mkv"}) {
        test::writeClip(dir_ / "clips" / name, clip);
    }
    settings_.setNumber(keys::kMode, kModeDirectory);
    settings_.setText(keys::kSource, (dir_ / "clips").string());
    settings_.setText(keys::kDestinationPath, (dir_ / "out").string());
    const QString plain = QString::fromUtf8(kDialogCaption.data());

    QTest::mouseClick(dialog_.control(kConvertButton), Qt::LeftButton);
    QStringList counters;
    bool shared = false;
    bool estimated = false;
    const bool ended = QTest::qWaitFor(
        [&] {
            // Ticks far more often than the window's 500 ms, so that no file goes unseen.
            dialog_.controller().progressTick(tickCount());
            if (!counters.contains(text(kFileCounterLabel))) {
                counters << text(kFileCounterLabel);
            }
            shared = shared || dialog_.windowTitle().endsWith("% \u2014 " + plain);
            estimated = estimated || text(kBatchLeftLabel).startsWith("Batch left ");
            return !dialog_.controller().isRunning();
        },
        120000);
    ASSERT_TRUE(ended) << "the batch did not end within 120 s";
    EXPECT_TRUE(counters.contains("File 1 of 3")) << counters.join(", ").toStdString();
    EXPECT_TRUE(counters.contains("File 3 of 3")) << counters.join(", ").toStdString();
    EXPECT_TRUE(shared) << "the title never told the batch's share";
    EXPECT_TRUE(estimated) << "the batch's time left was never shown";
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog_.windowTitle() == plain; }, 2000))
        << dialog_.windowTitle().toStdString();
    EXPECT_EQ(text(kFileCounterLabel), "");

    QTest::mouseClick(dialog_.control(kConvertButton), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog_.windowTitle() != plain; }, 10000))
        << "the second batch never showed its share";
    QTest::mouseClick(dialog_.control(kConvertButton), Qt::LeftButton);  // Stop
    EXPECT_EQ(dialog_.windowTitle(), plain);
    EXPECT_EQ(text(kBatchLeftLabel), "");
}

}  // namespace
}  // namespace morvane::ui
