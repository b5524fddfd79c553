#include "ui/dialog_units.h"

#include <QFontMetricsF>
#include <QString>
#include <algorithm>
#include <cmath>

namespace morvane::ui {
namespace {

// The average width of the Latin letters, as dialog templates measure a font.
double averageCharWidth(const QFontMetricsF& metrics) {
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return metrics.horizontalAdvance(letters) / static_cast<double>(letters.size());
}

int round(double value) {
    return static_cast<int>(std::lround(value));
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetricsF metrics(font);
    horizontal_ = averageCharWidth(metrics) / 4.0;
    vertical_ = metrics.height() / 8.0;
    double scale = 1.0;
    for (const TemplateControl& control : kDialogTemplate) {
        if (control.caption.empty()) {
            continue;
        }
        scale = std::max(scale, captionWidth(font, control) / (control.rect.width * horizontal_));
    }
    horizontal_ *= scale;
    vertical_ *= scale;
}

QRect DialogUnits::toPixels(const DialogRect& rect) const {
    const int left = round(rect.x * horizontal_);
    const int top = round(rect.y * vertical_);
    const int right = round((rect.x + rect.width) * horizontal_);
    const int bottom = round((rect.y + rect.height) * vertical_);
    return {left, top, right - left, bottom - top};
}

QSize DialogUnits::dialogSize() const {
    return {round(kDialogWidth * horizontal_), round(kDialogHeight * vertical_)};
}

int DialogUnits::captionWidth(const QFont& font, const TemplateControl& control) {
    const QFontMetricsF metrics(font);
    const QString caption =
        QString::fromUtf8(control.caption.data(), static_cast<qsizetype>(control.caption.size()));
    double width = metrics.horizontalAdvance(caption);
    // Buttons and group boxes draw their captions inside a frame.
    if (control.kind == ControlKind::kPushButton || control.kind == ControlKind::kGroupBox) {
        width += 2 * averageCharWidth(metrics);
    }
    return static_cast<int>(std::ceil(width)) + 1;
}

}  // namespace morvane::ui
