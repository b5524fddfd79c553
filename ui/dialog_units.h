#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

#include "ui/dialog_template.h"

namespace morvane::ui {

// Converts the template's dialog units into pixels for a font: a horizontal unit is a quarter
// of the font's average character width, a vertical unit an eighth of its height. Both grow
// together, when a caption would not fit its control, until every caption does, so that the
// layout keeps the template's proportions in any font.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    QRect toPixels(const DialogRect& rect) const;
    QSize dialogSize() const;
    // The pixels a control needs to show its caption whole.
    static int captionWidth(const QFont& font, const TemplateControl& control);

private:
    double horizontal_;  // pixels per dialog unit
    double vertical_;
};

}  // namespace morvane::ui
