#pragma once

#include <QLabel>
#include <functional>

namespace morvane::ui {

// A label drawn as a link, blue and underlined, with a hand cursor; a left or a right click
// calls onClicked.
class LinkLabel final : public QLabel {
    Q_OBJECT

public:
    LinkLabel(const QString& text, QWidget* parent);

    std::function<void()> onClicked;

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace morvane::ui
