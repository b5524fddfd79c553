#include "ui/accessible_names.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QKeySequence>
#include <QLineEdit>

namespace morvane::ui {
namespace {

// Qt's QAccessibleComboBox (private, so rebuilt here) with the name of the widget's accessible
// name or buddy label, falling back to Qt's name, the current item, where there is neither.
class NamedComboBox final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit NamedComboBox(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        // Qt 6.4 gives AT-SPI neither a text value nor a selection: a screen reader (Orca)
        // reads a combo box's value from its text.
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        switch (kind) {
            case QAccessible::Name: {
                const QString name = QAccessibleWidget::text(kind);
                return name.isEmpty() ? shown() : name;
            }
            case QAccessible::Value:
                return shown();
            case QAccessible::Accelerator:
                return QKeySequence(Qt::Key_Down).toString(QKeySequence::NativeText);
            default:
                return QAccessibleWidget::text(kind);
        }
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = isValid() && box()->view()->isVisible();
        state.editable = box()->isEditable();
        return state;
    }

    // The list, and the line edit of an editable box.
    int childCount() const override { return box()->isEditable() ? 2 : 1; }
    QAccessibleInterface* child(int index) const override {
        if (index == 0) {
            return QAccessible::queryAccessibleInterface(box()->view());
        }
        if (index == 1 && box()->isEditable()) {
            return QAccessible::queryAccessibleInterface(box()->lineEdit());
        }
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child->object() == box()->view()) {
            return 0;
        }
        return box()->isEditable() && child->object() == box()->lineEdit() ? 1 : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        return box()->isEditable() && box()->lineEdit()->rect().contains(x, y) ? child(1) : nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        return box()->isEditable() ? child(1) : nullptr;
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    QString localizedActionDescription(const QString& action) const override {
        return action == showMenuAction() || action == pressAction()
                   ? QComboBox::tr("Open the combo box selection popup")
                   : QString();
    }
    void doAction(const QString& action) override {
        if (action != showMenuAction() && action != pressAction()) {
            return;
        }
        if (box()->view()->isVisible()) {
            box()->hidePopup();
        } else {
            box()->showPopup();
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    // The current item as read-only text, without a caret or a selection.
    QString text(int start, int end) const override { return shown().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(shown().size()); }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return {};
    }

private:
    QComboBox* box() const { return static_cast<QComboBox*>(object()); }
    QString shown() const {
        return box()->isEditable() ? box()->lineEdit()->text() : box()->currentText();
    }
};

QAccessibleInterface* namedInterface(const QString& className, QObject* object) {
    if (className == QLatin1String("QComboBox")) {
        if (auto* box = qobject_cast<QComboBox*>(object)) {
            return new NamedComboBox(box);
        }
    }
    return nullptr;
}

}  // namespace

void installAccessibleNames() {
    QAccessible::installFactory(namedInterface);
}

}  // namespace morvane::ui
