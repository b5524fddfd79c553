#include "ui/number_field.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QRegularExpressionValidator>
#include <QToolButton>

#include "ui/settings_panel.h"

namespace morvane::ui {

NumberEdit::NumberEdit(ControlId id, QWidget* parent) : QLineEdit(parent), id_(id) {
    setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
}

void NumberEdit::step(int steps) {
    const QByteArray current = text().toUtf8();
    const std::string stepped =
        SettingsPanel::steppedText(id_, {current.constData(), size_t(current.size())}, steps);
    setText(QString::fromStdString(stepped));
}

void NumberEdit::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Up:
            step(1);
            return;
        case Qt::Key_Down:
            step(-1);
            return;
        case Qt::Key_Escape:
            if (onEscape) {
                onEscape();
            }
            return;
        default:
            QLineEdit::keyPressEvent(event);
    }
}

void NumberEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A context menu takes the focus only for a moment; it comes back to the field.
    if (event->reason() != Qt::PopupFocusReason && onLeft) {
        onLeft();
    }
}

ArrowPair::ArrowPair(NumberEdit& buddy, QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    for (QToolButton* arrow : {up_, down_}) {
        arrow->setFocusPolicy(Qt::NoFocus);
        arrow->setAutoRepeat(true);
    }
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    up_->setAccessibleName(QStringLiteral("Up"));
    down_->setAccessibleName(QStringLiteral("Down"));
    connect(up_, &QToolButton::clicked, &buddy, [&buddy] { buddy.step(1); });
    connect(down_, &QToolButton::clicked, &buddy, [&buddy] { buddy.step(-1); });
}

void ArrowPair::resizeEvent(QResizeEvent* /*event*/) {
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}

}  // namespace morvane::ui
