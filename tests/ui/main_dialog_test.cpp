// The window as a user drives it: keys and clicks on the real widgets, the boxes and choosers
// answered through the desktop seam. What the logic then does is the logic tests' business;
// these check that the widgets reach it and show what it says. Runs on the offscreen platform.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <thread>

#include "platform/tick_count.h"
#include "settings/setting_keys.h"
#include "settings/settings_file.h"
#include "settings/settings_rules.h"
#include "tests/support/media_writer.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/fake_dialog.h"
#include "ui/dialog_template.h"
#include "ui/accessible_names.h"
#include "ui/dialog_units.h"
#include "ui/log_view.h"
#include "ui/main_dialog.h"
#include "ui/number_field.h"
#include "ui/qt_desktop.h"

// Failures show a QString as its text.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace morvane::ui {
namespace {

class MainDialogTest : public ::testing::Test {
protected:
    MainDialogTest() { resetToDefaults(settings_); }

    // Made on first use, so that a test can prepare the store first.
    MainDialog& dialog() {
        if (!dialog_) {
            dialog_ = std::make_unique<MainDialog>(settings_, profiles_, sources_, log_, fake_);
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
    QString convertCaption() { return widget<QPushButton>(kConvertButton).text(); }
    QString logText() { return dialog().logView().toPlainText(); }
    void click(ControlId id) { QTest::mouseClick(dialog().control(id), Qt::LeftButton); }

    test::TempDir dir_;
    SettingsStore settings_{std::make_unique<FileSettingsBacking>(dir_ / "settings.reg")};
    ProfileTable profiles_;
    SourceFileList sources_;
    ConversionLog log_;
    test::FakeDialog fake_;
    std::unique_ptr<MainDialog> dialog_;
};

TEST_F(MainDialogTest, PlacesTheTemplateInOrderWithEveryCaptionWholeAndNamed) {
    MainDialog& window = dialog();
    EXPECT_EQ(window.windowTitle(), "Morvane, v1.0 Build 107");
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "the dialog must not be resizable";
    QWidget* previous = nullptr;
    for (const TemplateControl& row : kDialogTemplate) {
        auto* made = window.findChild<QWidget*>(QString::fromUtf8(row.name.data()));
        ASSERT_NE(made, nullptr) << row.name;
        EXPECT_TRUE(window.rect().contains(made->geometry())) << row.name << " leaves the dialog";
        EXPECT_TRUE(row.caption.empty() ||
                    made->width() >= DialogUnits::captionWidth(made->font(), row))
            << row.name << " cuts its caption";
        // A screen reader can name every control.
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(made);
        EXPECT_TRUE(accessible != nullptr &&
                    !accessible->text(QAccessible::Name).trimmed().isEmpty())
            << row.name << " is nameless";
        // Focusable controls take the focus in template order.
        if (made->focusPolicy() & Qt::TabFocus) {
            QWidget* next = previous != nullptr ? previous->nextInFocusChain() : made;
            while (!(next->focusPolicy() & Qt::TabFocus)) {
                next = next->nextInFocusChain();
            }
            EXPECT_EQ(next, made) << row.name << " is out of the tab order";
            previous = made;
        }
    }
}

TEST_F(MainDialogTest, TheFileNameAndTheListsWriteTheStoreAtOnceANumberFieldOnLeaving) {
    settings_.setNumber(keys::kWidth, 5000);  // shown as it is until the field is left
    auto& fileName = widget<QLineEdit>(kFileNameField);
    fileName.setFocus();
    QTest::keyClicks(&fileName, "ab");
    EXPECT_EQ(settings_.getText(keys::kDestinationFile), "ab");
    QTest::keyClick(&fileName, Qt::Key_Return);  // Enter with no batch: nothing starts
    EXPECT_EQ(convertCaption(), "Convert!");
    EXPECT_TRUE(widget<QPushButton>(kConvertButton).isEnabled());
    QTest::keyClick(&fileName, Qt::Key_Escape);
    EXPECT_TRUE(dialog().isVisible()) << "Esc must not close the dialog";

    // The last item of each list: the key it stores and a control it turns on or off. The
    // audio mode list comes after the profile, as only the Custom profile lets it be used.
    for (const auto& [list, key, last, follower, followerEnabled] :
         {std::tuple{kSourceModeList, keys::kMode, kModeDirectory, kFileNameField, false},
          {kSizeList, keys::kSizeMode, kCustomSizeMode, kWidthArrows, true},
          {kProfileList, keys::kProfile, ProfileTable::kCustomRow, kVideoQualityArrows, true},
          {kFormatList, keys::kCodec, kCodecH264Aac, kFormatList, true},
          {kAudioModeList, keys::kCustomAudioMode, kAudioDisabled, kAudioQualityArrows, false}}) {
        auto& box = widget<QComboBox>(list);
        box.setFocus();
        QTest::keyClick(&box, Qt::Key_End);
        EXPECT_EQ(settings_.getNumber(key), last) << key;
        EXPECT_EQ(dialog().control(follower)->isEnabled(), followerEnabled) << key;
    }

    // The Custom size, chosen above, lets the width be edited.
    auto& width = widget<NumberEdit>(kWidthField);
    EXPECT_EQ(width.text(), "5000");
    width.setFocus();
    width.selectAll();
    QTest::keyClicks(&width, "10x2-4");
    EXPECT_EQ(width.text(), "1024") << "only digits may be typed";
    QTest::keyClick(&width, Qt::Key_Up);
    EXPECT_EQ(width.text(), "1024") << "the arrows stay within the limits";
    QTest::keyClick(&width, Qt::Key_Down);
    EXPECT_EQ(width.text(), "1023");
    EXPECT_EQ(settings_.getNumber(keys::kWidth), 5000) << "the store waits for the focus to leave";

    // Esc shows the stored value again and leaves the field, which then corrects it.
    QTest::keyClick(&width, Qt::Key_Escape);
    EXPECT_FALSE(width.hasFocus());
    EXPECT_EQ(settings_.getNumber(keys::kWidth), 1024) << "not judged on leaving, or not as stored";
}

TEST_F(MainDialogTest, TheLogShowsTextsFromAnyThreadInOrderOpensItsLinksAndDropsLateOnes) {
    const std::string odd = (dir_ / "été 日本 #1 100%.avi").string();
    dialog();
    QString expected;  // what the window is to show, written down as it is logged
    std::thread([&] {
        for (int i = 0; i < 100; ++i) {
            log_.writeLine(std::to_string(i) + "\r\n");
            expected += QString::number(i) + "\n";
        }
        log_.writeLine("Output filename: ");
        log_.writeLink(odd);
        log_.writeLine("\n");
    }).join();
    log_.writeLine("last\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return logText().endsWith("last\n"); }, 10000))
        << "the last text was not shown within 10 s";
    const int at = expected.size() + 17;  // just after "Output filename: "
    expected += "Output filename: " + QString::fromStdString(odd) + "\nlast\n";
    EXPECT_EQ(logText(), expected) << "texts lost, reordered or given a '\\r'";

    LogView& view = dialog().logView();
    QTextCursor onLink(view.document());
    onLink.setPosition(at + 2);
    const QTextCharFormat format = onLink.charFormat();
    EXPECT_TRUE(format.isAnchor() && format.fontUnderline() &&
                format.foreground().color() == QColor(Qt::blue))
        << "the path is not shown as a blue, underlined link";
    // A left click opens the path; a right click, or a double click after it, opens nothing.
    const QPoint point = view.cursorRect(onLink).center();
    QTest::mouseClick(view.viewport(), Qt::RightButton, {}, point);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, point);
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, point);
    QTest::mouseClick(dialog().control(kLinkLabel), Qt::RightButton);  // opens the address
    EXPECT_EQ(fake_.opened, (std::vector<std::string>{odd, std::string(kProductAddress)}));

    // Texts still queued for the window when it goes are dropped.
    std::jthread busy([this](const std::stop_token& stop) {  // stopped as the test ends
        for (int i = 0; i < 20000 && !stop.stop_requested(); ++i) {
            log_.writeLine("busy\n");
            log_.writeLink("/some/file.avi");
        }
    });
    const bool shown = QTest::qWaitFor([&] { return logText().contains("busy"); }, 10000);
    dialog_.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(shown) << "nothing more was shown within 10 s";
}

// Drops as a file manager makes them, on a field or on the log: the dialog takes one local file
// or folder wherever it lands, and refuses the rest with everything left as it was.
TEST_F(MainDialogTest, TakesDroppedLocalFilesOrFoldersAnywhere) {
    const std::filesystem::path clips = dir_ / "clips";
    const std::filesystem::path holiday = clips / "holiday.avi";
    const std::filesystem::path more = dir_ / "more";
    std::filesystem::create_directories(clips);
    std::filesystem::create_directories(more);
    test::writeFile(holiday, "");
    test::writeFile(more / "party.mpg", "");
    const auto local = [](const std::filesystem::path& path) {
        return QUrl::fromLocalFile(pathToQString(path.string()));
    };
    // Whether the drag was welcomed and the drop taken.
    const auto drop = [](QWidget* target, const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        data.setText(urls.front().toString());  // as file managers offer it too
        QDragEnterEvent enter({4, 4}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent dropped({4, 4}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        return std::make_pair(enter.isAccepted(), dropped.isAccepted());
    };
    QWidget* fileName = &widget<QLineEdit>(kFileNameField);
    // Taken or not, and the mode the list shows then; what is taken, the logic's tests check.
    for (const auto& [target, urls, taken, mode] :
         {std::tuple{fileName, QList{local(clips)}, true, kModeDirectory},
          {fileName, QList{local(holiday), QUrl("https://example.org/a.avi")}, false,
           kModeDirectory},
          {fileName, QList{local(holiday), local(more)}, true, kModeFile},
          {fileName, QList{QUrl("https://example.org/holiday.avi")}, false, kModeFile},
          {fileName, QList{local(dir_ / "missing.avi")}, false, kModeFile},
          {fileName, QList{local(clips)}, true, kModeDirectory},
          {dialog().logView().viewport(), QList{local(holiday)}, true, kModeFile}}) {
        SCOPED_TRACE(urls.front().toString().toStdString());
        EXPECT_EQ(drop(target, urls), std::make_pair(taken, taken));
        EXPECT_EQ(widget<QComboBox>(kSourceModeList).currentIndex(), mode);
    }
}

// A folder batch that the buttons start tells which file of how many, the batch's time left
// and its share in the title, and ends by itself; the next one ends on Exit. Whether Enter or a
// Stop ends one, the logic's tests check.
TEST_F(MainDialogTest, AFolderBatchTellsHowFarInTheTitleAndEndsByItselfOrOnExit) {
    for (const char* folder : {"clips", "long", "out", "later"}) {
        std::filesystem::create_directories(dir_ / folder);
    }
    test::ClipRecipe clip{.width = 640, .height = 360, .seconds = 4.0};
    for (const char* name : {"a.mkv", "b.mkv", "c.mkv"}) {
        test::writeClip(dir_ / "clips" / name, clip);
    }
    clip.seconds = 20;
    test::writeClip(dir_ / "long" / "long.mkv", clip);
    settings_.setNumber(keys::kMode, kModeDirectory);
    // Chooses the folders with the "..." buttons and presses Convert!
    const auto startBatch = [&](const char* source, const char* destination) {
        fake_.answers = {(dir_ / source).string(), (dir_ / destination).string()};
        click(kSourceBrowse);
        click(kDestinationBrowse);
        click(kConvertButton);
        EXPECT_EQ(convertCaption(), "Stop");
        EXPECT_FALSE(widget<QComboBox>(kProfileList).isEnabled());
    };
    const QString plain = QString::fromUtf8(kDialogCaption.data());
    const auto text = [this](ControlId id) { return widget<QLabel>(id).text(); };

    startBatch("clips", "out");
    QSet<QString> shown;  // each file counter, share in the title and start of a time left
    const bool ended = QTest::qWaitFor(
        [&] {
            // Ticks far more often than the window's 500 ms, so that no file goes unseen.
            dialog().controller().progressTick(tickCount());
            shown << text(kFileCounterLabel) << dialog().windowTitle().section("% ", 1)
                  << text(kBatchLeftLabel).left(11);
            return !dialog().controller().isRunning();
        },
        120000);
    ASSERT_TRUE(ended) << "the batch did not end within 120 s";
    EXPECT_EQ(convertCaption(), "Convert!");
    EXPECT_TRUE(widget<QComboBox>(kProfileList).isEnabled());
    for (const QString& told : {QString("File 1 of 3"), QString("File 3 of 3"), "\u2014 " + plain,
                                QString("Batch left ")}) {
        EXPECT_TRUE(shown.contains(told)) << "never shown: " << told.toStdString();
    }
    EXPECT_EQ(dialog().windowTitle(), plain);
    EXPECT_EQ(text(kFileCounterLabel), "");

    startBatch("long", "later");
    ASSERT_TRUE(QTest::qWaitFor([&] { return logText().count("Converting process") == 4; }, 30000))
        << "the second batch's conversion did not begin within 30 s";
    click(kExitButton);
    EXPECT_FALSE(dialog().isVisible());
    EXPECT_FALSE(dialog().controller().isRunning());
    EXPECT_TRUE(std::filesystem::is_empty(dir_ / "later"))
        << "closing left the file's output behind";
    EXPECT_NE(test::readFile(dir_ / "settings.reg").find((dir_ / "later").string()),
              std::string::npos)
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
    morvane::ui::installAccessibleNames();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
