#pragma once

#include <QTextBrowser>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "log/log_window.h"

namespace morvane::ui {

// The log window: read-only rich text that keeps every text of the session, appended at the
// end and scrolled to it. A link entry shows blue and underlined; a left click on it hands its
// path to onLinkClicked.
//
// appendText and appendLink may be called from any thread: each text is handed to the
// window's thread by a queued call and shown there in the order of the calls. No caller ever
// waits for the window's thread. Texts still queued when the window is destroyed are dropped.
class LogView final : public QTextBrowser, public LogWindow {
    Q_OBJECT

public:
    explicit LogView(QWidget* parent = nullptr);

    void appendText(std::string_view text) override;
    void appendLink(std::string_view path) override;

    std::function<void(const std::string& path)> onLinkClicked;

private:
    // On the window's thread.
    void insert(const QString& text, const std::string* linkPath);

    std::vector<std::string> linkPaths_;  // the path of each link, by its number
};

}  // namespace morvane::ui
