#include "ui/log_view.h"

#include <QScrollBar>
#include <QTextCursor>
#include <QUrl>

namespace morvane::ui {
namespace {

QString fromUtf8(std::string_view text) {
    QString converted = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    // Texts end their lines with "\n" or "\r\n"; a '\r' would make a paragraph of its own.
    converted.remove(QLatin1Char('\r'));
    return converted;
}

}  // namespace

LogView::LogView(QWidget* parent) : QTextBrowser(parent) {
    setOpenLinks(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    document()->setUndoRedoEnabled(false);
    // Links are numbered rather than named by their paths, so that a path opens exactly as it
    // was logged, whatever bytes it holds.
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
        bool isNumber = false;
        const qulonglong number = link.path().toULongLong(&isNumber);
        if (isNumber && number < linkPaths_.size() && onLinkClicked) {
            onLinkClicked(linkPaths_[number]);
        }
    });
}

void LogView::appendText(std::string_view text) {
    QMetaObject::invokeMethod(
        this, [this, shown = fromUtf8(text)] { insert(shown, nullptr); }, Qt::QueuedConnection);
}

void LogView::appendLink(std::string_view path) {
    QMetaObject::invokeMethod(
        this,
        [this, shown = fromUtf8(path), linkPath = std::string(path)] { insert(shown, &linkPath); },
        Qt::QueuedConnection);
}

void LogView::insert(const QString& text, const std::string* linkPath) {
    QTextCharFormat format;
    if (linkPath != nullptr) {
        format.setAnchor(true);
        format.setAnchorHref(QString::number(linkPaths_.size()));
        format.setForeground(Qt::blue);
        format.setBackground(Qt::white);
        format.setFontUnderline(true);
        linkPaths_.push_back(*linkPath);
    }
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(text, format);
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->maximum());
}

}  // namespace morvane::ui
