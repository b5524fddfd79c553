// The window as a user drives it: keys and clicks on the real widgets, the boxes and choosers
// answered through the desktop seam. Runs on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QThread>
#include <thread>

#include "settings/setting_keys.h"
#include "settings/settings_file.h"
#include "settings/settings_rules.h"
#include "tests/support/media_writer.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/fake_dialog.h"
#include "ui/dialog_template.h"
#include "ui/dialog_units.h"
#include "ui/log_view.h"
#include "ui/main_dialog.h"
#include "ui/number_field.h"

namespace morvane::ui {
namespace {

namespace fs = std::filesystem;

class MainDialogTest : public ::testing::Test {
protected:
    MainDialogTest() : settings_(std::make_unique<FileSettingsBacking>(settingsFile())) {
        resetToDefaults(settings_);
        fs::create_directories(dir_ / "out");
    }

    // Made on first use, so that a test can prepare the store first.
    MainDialog& dialog() {
        if (!dialog_) {
            dialog_ = std::make_unique<MainDialog>(settings_, profiles_, sources_, log_, desktop_);
            dialog_->show();
            dialog_->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(dialog_.get()))
                << "the window never became active";
        }
        return *dialog_;
    }
    template <typename Widget>
    Widget& widget(ControlId id) {
        auto* found = qobject_cast<Widget*>(dialog().control(id));
        EXPECT_NE(found, nullptr) << "no control " << id;
        return *found;
    }
    QString text(ControlId id) {
        QWidget* control = dialog().control(id);
        if (auto* field = qobject_cast<QLineEdit*>(control)) {
            return field->text();
        }
        if (auto* button = qobject_cast<QPushButton*>(control)) {
            return button->text();
        }
        return qobject_cast<QLabel*>(control)->text();
    }
    QString logText() { return dialog().logView().toPlainText(); }
    void click(ControlId id) { QTest::mouseClick(dialog().control(id), Qt::LeftButton); }
    fs::path settingsFile() const { return dir_ / "settings.reg"; }
    fs::path outputFolder() const { return dir_ / "out"; }

    // Chooses the file through the source "..." button, as a user does.
    void chooseSourceFile(const fs::path& file) {
        desktop_.fileAnswers.emplace_back(file.string());
        click(kSourceBrowse);
        desktop_.folderAnswers.emplace_back(outputFolder().string());
        click(kDestinationBrowse);
    }

    test::TempDir dir_;
    SettingsStore settings_;
    ProfileTable profiles_;
    SourceFileList sources_;
    ConversionLog log_;
    test::FakeDialogView unusedView_;
    test::FakeDesktop desktop_{unusedView_};
    std::unique_ptr<MainDialog> dialog_;
};

TEST_F(MainDialogTest, PlacesTheTemplateInOrderWithEveryCaptionWhole) {
    MainDialog& window = dialog();
    EXPECT_EQ(window.windowTitle(), "Morvane, v1.0 Build 107");
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "the dialog must not be resizable";
    const DialogUnits units(window.font());
    QWidget* previous = nullptr;
    for (const TemplateControl& row : kDialogTemplate) {
        auto* made = window.findChild<QWidget*>(QString::fromUtf8(row.name.data()));
        ASSERT_NE(made, nullptr) << row.name;
        EXPECT_TRUE(window.rect().contains(made->geometry())) << row.name << " leaves the dialog";
        if (!row.caption.empty()) {
            EXPECT_GE(made->width(), DialogUnits::captionWidth(made->font(), row))
                << row.name << " cuts its caption";
        }
        // Focusable controls take the focus in template order.
        if (made->focusPolicy() & Qt::TabFocus) {
            if (previous != nullptr) {
                QWidget* next = previous->nextInFocusChain();
                while (!(next->focusPolicy() & Qt::TabFocus)) {
                    next = next->nextInFocusChain();
                }
                EXPECT_EQ(next, made) << row.name << " is out of the tab order";
            }
            previous = made;
        }
    }
}

TEST_F(MainDialogTest, NumberFieldsTakeDigitsStepWithinLimitsAndJudgeOnLeaving) {
    auto& width = widget<NumberEdit>(kWidthField);
    settings_.setNumber(keys::kSizeMode, kCustomSizeMode);
    dialog().controller().panel().sizeSelected(kCustomSizeMode);
    width.setFocus();
    width.selectAll();
    QTest::keyClicks(&width, "10x2-4");
    EXPECT_EQ(width.text(), "1024") << "only digits may be typed";
    QTest::keyClick(&width, Qt::Key_Up);
    EXPECT_EQ(width.text(), "1024") << "the arrows stay within the limits";
    QTest::keyClick(&width, Qt::Key_Down);
    EXPECT_EQ(width.text(), "1023");
    EXPECT_EQ(settings_.getNumber(keys::kWidth), 320) << "the store waits for the focus to leave";

    width.selectAll();
    QTest::keyClicks(&width, "5000");
    QTest::keyClick(&width, Qt::Key_Tab);
    EXPECT_EQ(width.text(), "1024");
    EXPECT_EQ(settings_.getNumber(keys::kWidth), 1024);
    EXPECT_EQ(desktop_.warnings.size(), 1U);

    // Esc shows the stored value again and leaves the field, which then judges it.
    width.setFocus();
    width.selectAll();
    QTest::keyClicks(&width, "7");
    QTest::keyClick(&width, Qt::Key_Escape);
    EXPECT_EQ(width.text(), "1024");
    EXPECT_FALSE(width.hasFocus());
    EXPECT_TRUE(dialog().isVisible()) << "Esc must not close the dialog";
    EXPECT_EQ(desktop_.warnings.size(), 1U);
}

TEST_F(MainDialogTest, KeysAndListsWriteTheStoreAtOnce) {
    auto& fileName = widget<QLineEdit>(kFileNameField);
    fileName.setFocus();
    QTest::keyClicks(&fileName, "ab");
    EXPECT_EQ(settings_.getText(keys::kDestinationFile), "ab");
    QTest::keyClick(&fileName, Qt::Key_Return);  // Enter with no batch: nothing starts
    EXPECT_EQ(text(kConvertButton), "Convert!");
    EXPECT_TRUE(widget<QPushButton>(kConvertButton).isEnabled());
    QTest::keyClick(&fileName, Qt::Key_Escape);
    EXPECT_TRUE(dialog().isVisible());

    auto& sizes = widget<QComboBox>(kSizeList);
    sizes.setFocus();
    QTest::keyClick(&sizes, Qt::Key_End);  // "Custom", the last
    EXPECT_EQ(settings_.getNumber(keys::kSizeMode), kCustomSizeMode);
    EXPECT_TRUE(widget<QLineEdit>(kWidthField).isEnabled());
    EXPECT_TRUE(dialog().findChild<QWidget*>("widthArrows1022")->isEnabled());

    auto& modes = widget<QComboBox>(kSourceModeList);
    modes.setFocus();
    QTest::keyClick(&modes, Qt::Key_Down);
    EXPECT_EQ(settings_.getNumber(keys::kMode), kModeDirectory);
    EXPECT_FALSE(fileName.isEnabled());
}

TEST_F(MainDialogTest, LogShowsTextsInOrderFromAnyThreadAndOpensItsLinks) {
    const std::string odd = (dir_ / "été 日本 #1 100%.avi").string();
    dialog();
    std::thread writer([this, &odd] {
        for (int i = 0; i < 100; ++i) {
            log_.writeLine(std::to_string(i) + "\r\n");
        }
        log_.writeLine("Output filename: ");
        log_.writeLink(odd);
        log_.writeLine("\n");
    });
    writer.join();
    log_.writeLine("last\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return logText().endsWith("last\n"); }, 10000))
        << "the last text was not shown within 10 s";
    const QString shown = logText();
    QString expected;
    for (int i = 0; i < 100; ++i) {
        expected += QString::number(i) + "\n";
    }
    EXPECT_TRUE(shown.startsWith(expected)) << "texts lost, reordered or given a '\\r'";

    LogView& view = dialog().logView();
    const int at = shown.indexOf(QString::fromUtf8(odd.c_str()));
    ASSERT_GE(at, 0) << "the link's path is not shown";
    QTextCursor onLink(view.document());
    onLink.setPosition(at + 2);
    EXPECT_TRUE(onLink.charFormat().isAnchor());
    EXPECT_TRUE(onLink.charFormat().fontUnderline());
    EXPECT_EQ(onLink.charFormat().foreground().color(), QColor(Qt::blue));
    const QRect where = view.cursorRect(onLink);
    const QPoint point = where.center();
    QTest::mouseClick(view.viewport(), Qt::RightButton, {}, point);
    EXPECT_TRUE(desktop_.opened.empty()) << "a right click opens nothing";
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, point);
    ASSERT_EQ(desktop_.opened.size(), 1U);
    EXPECT_EQ(desktop_.opened[0], odd);
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, point);
    EXPECT_EQ(desktop_.opened.size(), 1U) << "a double click opens nothing more";

    QTest::mouseClick(dialog().control(kLinkLabel), Qt::RightButton);
    EXPECT_EQ(desktop_.opened.back(), kProductAddress);
}

TEST_F(MainDialogTest, TextsLoggedWhileTheWindowGoesAreDroppedSafely) {
    dialog();
    std::atomic<bool> writing{true};
    std::thread writer([this, &writing] {
        for (int i = 0; i < 20000 && writing; ++i) {
            log_.writeLine("busy\n");
            log_.writeLink("/some/file.avi");
        }
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return logText().contains("busy"); }, 10000))
        << "nothing was shown within 10 s";
    dialog_.reset();  // with texts still queued for it
    QCoreApplication::processEvents();
    writing = false;
    writer.join();
}

class ConvertingDialogTest : public MainDialogTest {
protected:
    static void SetUpTestSuite() {
        clips_ = std::make_unique<test::TempDir>();
        test::ClipSpec brief;
        brief.width = 160;
        brief.height = 120;
        brief.seconds = 0.5;
        test::writeClip(shortClip(), brief);
        test::ClipSpec longer;
        longer.width = 640;
        longer.height = 360;
        longer.seconds = 20;
        test::writeClip(longClip(), longer);
    }
    static void TearDownTestSuite() { clips_.reset(); }
    static fs::path shortClip() { return *clips_ / "short.mkv"; }
    static fs::path longClip() { return *clips_ / "long.mkv"; }

    bool outputsLeft() {
        return std::any_of(fs::directory_iterator(outputFolder()), fs::directory_iterator(),
                           [](const auto&) { return true; });
    }

    static inline std::unique_ptr<test::TempDir> clips_;
};

TEST_F(ConvertingDialogTest, ConvertRunsToItsEndAndGivesTheWindowBack) {
    chooseSourceFile(shortClip());
    EXPECT_EQ(settings_.getText(keys::kDestinationFile), "short.flv");
    click(kConvertButton);
    EXPECT_EQ(text(kConvertButton), "Stop");
    EXPECT_FALSE(widget<QComboBox>(kProfileList).isEnabled());
    EXPECT_TRUE(widget<QPushButton>(kExitButton).isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return text(kConvertButton) == "Convert!"; }, 120000))
        << "the batch did not end within 120 s";
    EXPECT_TRUE(widget<QComboBox>(kProfileList).isEnabled());
    EXPECT_TRUE(fs::exists(outputFolder() / "short.flv")) << logText().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return logText().contains("Real bitrate"); }, 10000))
        << "the end of the file was not shown within 10 s";
    const QString output = QString::fromStdString((outputFolder() / "short.flv").string());
    QTextCursor onLink(dialog().logView().document());
    onLink.setPosition(logText().indexOf(output) + 1);
    EXPECT_TRUE(onLink.charFormat().isAnchor()) << "the output is not a link";
    EXPECT_TRUE(QTest::qWaitFor([&] { return text(kTimeLeftLabel) == "00:00:00"; }, 10000))
        << "the time left was not cleared within 10 s";
    EXPECT_EQ(widget<QProgressBar>(kProgressBar).value(), 0);
}

TEST_F(ConvertingDialogTest, StopAndExitAbandonTheFileButEnterNeverStopsABatch) {
    chooseSourceFile(longClip());
    // Presses Convert! and waits for the log to show the batch's file under way.
    const auto startBatch = [this](int batch) {
        click(kConvertButton);
        return QTest::qWaitFor([&] { return logText().count("Converting process") == batch; },
                               30000);
    };
    ASSERT_TRUE(startBatch(1)) << "the conversion did not begin within 30 s";
    auto& source = widget<QLineEdit>(kSourceField);
    source.setFocus();
    QTest::keyClick(&source, Qt::Key_Return);
    EXPECT_EQ(text(kConvertButton), "Stop") << "Enter stopped the batch";
    click(kConvertButton);
    EXPECT_EQ(text(kConvertButton), "Convert!");
    EXPECT_FALSE(outputsLeft()) << "a stopped file left its output behind";

    ASSERT_TRUE(startBatch(2)) << "the second conversion did not begin within 30 s";
    click(kExitButton);
    EXPECT_FALSE(dialog().isVisible());
    EXPECT_FALSE(dialog().controller().isRunning());
    EXPECT_FALSE(outputsLeft()) << "closing left the file's output behind";
    EXPECT_NE(test::readFile(settingsFile()).find("long.flv"), std::string::npos)
        << "the settings were not written";
}

}  // namespace
}  // namespace morvane::ui

int main(int argc, char** argv) {
    // Headless unless told otherwise; also when CTest lists the tests.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
