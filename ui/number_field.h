#pragma once

#include <QLineEdit>
#include <QWidget>
#include <functional>

#include "ui/control_ids.h"

class QToolButton;

namespace morvane::ui {

// An edit that takes digits only. The Up and Down keys, like its arrow pair, change only its
// text, within the field's limits; what it holds is judged when it loses the focus. A text set
// by the program is shown as it is, even outside the limits.
class NumberEdit final : public QLineEdit {
    Q_OBJECT

public:
    NumberEdit(ControlId id, QWidget* parent);

    ControlId id() const { return id_; }
    // Moves the value by `steps` within the field's limits.
    void step(int steps);

    std::function<void()> onLeft;    // the focus left the field
    std::function<void()> onEscape;  // Esc was pressed in it

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    ControlId id_;
};

// The arrow pair beside a number field. The arrows never take the focus, so the field keeps
// it while they are clicked.
class ArrowPair final : public QWidget {
    Q_OBJECT

public:
    ArrowPair(NumberEdit& buddy, QWidget* parent);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* up_;
    QToolButton* down_;
};

}  // namespace morvane::ui
