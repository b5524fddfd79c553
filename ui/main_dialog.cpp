#include "ui/main_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDropEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <optional>

#include "platform/tick_count.h"
#include "ui/dialog_units.h"
#include "ui/link_label.h"
#include "ui/log_view.h"
#include "ui/number_field.h"
#include "ui/qt_desktop.h"

namespace morvane::ui {
namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toUtf8(const QString& text) {
    return text.toUtf8().toStdString();
}

// The local files and folders that a drag carries; none when it carries anything else.
std::vector<std::string> droppedPaths(const QMimeData* data) {
    std::vector<std::string> paths;
    if (data == nullptr || !data->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) {
            return {};
        }
        paths.push_back(pathFromQString(url.toLocalFile()));
    }
    return paths;
}

}  // namespace

MainDialog::MainDialog(SettingsStore& settings, ProfileTable& profiles, SourceFileList& sources,
                       ConversionLog& log, Desktop& desktop, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      log_(log),
      services_{settings, profiles, sources,
                log,      *this,    [&settings](int status) { endProcess(settings, status); }},
      controller_(services_, profiles, *this, desktop) {
    setWindowTitle(fromUtf8(kDialogCaption));
    buildControls();
    bindControls();
    log_.setWindow(logView_);
    controller_.initialise();
    connect(&progressTimer_, &QTimer::timeout, this,
            [this] { controller_.progressTick(tickCount()); });
    progressTimer_.start(500);
}

MainDialog::~MainDialog() {
    progressTimer_.stop();
    if (controller_.isRunning()) {
        controller_.close();
    }
    log_.setWindow(nullptr);
    // The controls outlive the controller: a field that loses the focus as they go must not
    // reach it.
    for (const ControlId id : {kWidthField, kHeightField, kVideoQualityField, kAudioQualityField}) {
        static_cast<NumberEdit*>(control(id))->onLeft = nullptr;
    }
}

void MainDialog::buildControls() {
    const DialogUnits units(font());
    setFixedSize(units.dialogSize());
    // Made in template order, which makes it the tab order too.
    QWidget* previous = nullptr;
    for (const TemplateControl& row : kDialogTemplate) {
        const QString caption = fromUtf8(row.caption);
        QRect place = units.toPixels(row.rect);
        QWidget* made = nullptr;
        switch (row.kind) {
            case ControlKind::kList: {
                auto* list = new QComboBox(this);
                // The template's height is that of the open list.
                place.setHeight(list->sizeHint().height());
                made = list;
                break;
            }
            case ControlKind::kReadOnlyField:
            case ControlKind::kTextField: {
                auto* field = new QLineEdit(this);
                field->setReadOnly(row.kind == ControlKind::kReadOnlyField);
                made = field;
                break;
            }
            case ControlKind::kNumberField:
                made = new NumberEdit(row.id, this);
                break;
            case ControlKind::kArrows: {
                // Aligned to the right edge of its field, inside it: the field gives up the
                // room the arrows take.
                auto* buddy = static_cast<NumberEdit*>(previous);
                QRect field = buddy->geometry();
                place = QRect(field.right() + 1 - place.width(), field.top(), place.width(),
                              field.height());
                field.setWidth(field.width() - place.width());
                buddy->setGeometry(field);
                made = new ArrowPair(*buddy, this);
                arrowsOf_[buddy->id()] = made;
                break;
            }
            case ControlKind::kPushButton: {
                auto* button = new QPushButton(caption, this);
                button->setAutoDefault(true);  // Enter presses the focused button
                made = button;
                break;
            }
            case ControlKind::kLogWindow:
                made = logView_ = new LogView(this);
                break;
            case ControlKind::kProgressBar: {
                auto* bar = new QProgressBar(this);
                bar->setRange(0, 100);
                bar->setValue(0);
                bar->setTextVisible(false);
                made = bar;
                break;
            }
            case ControlKind::kLabel:
                made = new QLabel(caption, this);
                break;
            case ControlKind::kGroupBox: {
                auto* box = new QGroupBox(caption, this);
                box->lower();  // behind the controls it frames
                made = box;
                break;
            }
            case ControlKind::kPicture:
                made = new QLabel(this);
                break;
            case ControlKind::kLink:
                made = new LinkLabel(caption, this);
                break;
            case ControlKind::kCheckBox:
                made = new QCheckBox(caption, this);
                break;
        }
        made->setObjectName(fromUtf8(row.name));
        made->setGeometry(place);
        if (const std::string_view name = accessibleNameOf(row.id); !name.empty()) {
            made->setAccessibleName(fromUtf8(name));
        }
        if (row.id != kUnaddressed) {
            controls_[row.id] = made;
        }
        previous = made;
    }
    // Drops go to the dialog wherever they land: no field takes one as text.
    for (QWidget* child : findChildren<QWidget*>()) {
        child->setAcceptDrops(false);
    }
    setAcceptDrops(true);
}

void MainDialog::bindControls() {
    const auto button = [this](ControlId id) { return static_cast<QPushButton*>(control(id)); };
    const auto list = [this](ControlId id) { return static_cast<QComboBox*>(control(id)); };
    connect(button(kConvertButton), &QPushButton::clicked, this,
            [this] { controller_.convertPressed(); });
    connect(button(kExitButton), &QPushButton::clicked, this, &QWidget::close);
    connect(button(kSourceBrowse), &QPushButton::clicked, this,
            [this] { controller_.chooseSource(); });
    connect(button(kDestinationBrowse), &QPushButton::clicked, this,
            [this] { controller_.chooseDestination(); });
    connect(static_cast<QLineEdit*>(control(kFileNameField)), &QLineEdit::textEdited, this,
            [this](const QString& text) { controller_.fileNameEdited(toUtf8(text)); });
    connect(static_cast<QCheckBox*>(control(kSubFoldersBox)), &QCheckBox::toggled, this,
            [this](bool checked) { controller_.subFoldersToggled(checked); });
    connect(list(kSourceModeList), &QComboBox::activated, this,
            [this](int position) { controller_.sourceModeSelected(position); });
    connect(list(kSizeList), &QComboBox::activated, this,
            [this](int position) { controller_.panel().sizeSelected(position); });
    connect(list(kProfileList), &QComboBox::activated, this,
            [this](int position) { controller_.panel().profileSelected(position); });
    connect(list(kAudioModeList), &QComboBox::activated, this,
            [this](int position) { controller_.panel().audioModeSelected(position); });
    connect(list(kFormatList), &QComboBox::activated, this,
            [this](int position) { controller_.panel().formatSelected(position); });
    for (const ControlId id : {kWidthField, kHeightField, kVideoQualityField, kAudioQualityField}) {
        auto* field = static_cast<NumberEdit*>(control(id));
        field->onLeft = [this, field] {
            controller_.panel().numberFieldLeft(field->id(), toUtf8(field->text()));
        };
        field->onEscape = [this, field] { controller_.panel().escapeInNumberField(field->id()); };
    }
    static_cast<LinkLabel*>(control(kLinkLabel))->onClicked = [this] {
        controller_.linkLabelClicked();
    };
    logView_->onLinkClicked = [this](const std::string& path) { controller_.logLinkClicked(path); };
}

QWidget* MainDialog::control(ControlId id) const {
    const auto found = controls_.find(id);
    return found != controls_.end() ? found->second : nullptr;
}

void MainDialog::setControlText(ControlId id, std::string_view text) {
    QWidget* widget = control(id);
    const QString shown = fromUtf8(text);
    if (auto* field = qobject_cast<QLineEdit*>(widget)) {
        field->setText(shown);
        field->setCursorPosition(0);
    } else if (auto* pushButton = qobject_cast<QPushButton*>(widget)) {
        pushButton->setText(shown);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(shown);
    }
}

void MainDialog::setControlEnabled(ControlId id, bool enabled) {
    if (QWidget* widget = control(id)) {
        widget->setEnabled(enabled);
    }
    // An arrow pair cannot change a field that cannot be edited.
    if (const auto arrows = arrowsOf_.find(id); arrows != arrowsOf_.end()) {
        arrows->second->setEnabled(enabled);
    }
}

void MainDialog::setToolTip(ControlId id, std::string_view text) {
    if (QWidget* widget = control(id)) {
        widget->setToolTip(fromUtf8(text));
    }
}

void MainDialog::setChecked(ControlId id, bool checked) {
    if (auto* box = qobject_cast<QCheckBox*>(control(id))) {
        const QSignalBlocker quiet(box);  // what the settings say already
        box->setChecked(checked);
    }
}

void MainDialog::fillList(ControlId id, const std::vector<std::string_view>& items) {
    auto* list = qobject_cast<QComboBox*>(control(id));
    if (list == nullptr) {
        return;
    }
    list->clear();
    for (const std::string_view item : items) {
        list->addItem(fromUtf8(item));
    }
}

void MainDialog::selectListItem(ControlId id, int position) {
    auto* list = qobject_cast<QComboBox*>(control(id));
    if (list == nullptr) {
        return;
    }
    list->setCurrentIndex(position >= 0 && position < list->count() ? position : -1);
}

void MainDialog::setTitle(std::string_view title) {
    setWindowTitle(fromUtf8(title));
}

void MainDialog::setProgress(int percent) {
    static_cast<QProgressBar*>(control(kProgressBar))->setValue(percent);
}

void MainDialog::moveFocusToDialog() {
    setFocus(Qt::OtherFocusReason);
}

bool MainDialog::isActive() const {
    return isActiveWindow();
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void MainDialog::dragMoveEvent(QDragMoveEvent* event) {
    if (controller_.canTakeSources(droppedPaths(event->mimeData()))) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void MainDialog::dropEvent(QDropEvent* event) {
    if (controller_.takeSources(droppedPaths(event->mimeData()))) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void MainDialog::batchEnded() {
    QMetaObject::invokeMethod(
        this, [this] { controller_.batchEnded(); }, Qt::QueuedConnection);
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            QWidget* focused = focusWidget();
            if (qobject_cast<QLineEdit*>(focused) != nullptr ||
                qobject_cast<QComboBox*>(focused) != nullptr) {
                controller_.enterPressed();
            }
            return;
        }
        case Qt::Key_Escape:
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void MainDialog::closeEvent(QCloseEvent* event) {
    controller_.close();
    progressTimer_.stop();
    event->accept();
}

}  // namespace morvane::ui
