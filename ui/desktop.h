#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::ui {

// The dialog's modal boxes, its choosers, what it asks the desktop to open and its
// notifications. The window's
// implementation shows real ones; tests answer them directly.
class Desktop {
public:
    virtual ~Desktop() = default;
    // One or more existing files; none when the user cancels.
    virtual std::vector<std::string> chooseFiles(std::string_view title) = 0;
    // A folder, starting at `start`; nothing when the user cancels.
    virtual std::optional<std::string> chooseFolder(std::string_view title,
                                                    std::string_view start) = 0;
    virtual void warn(std::string_view caption, std::string_view text) = 0;
    // A web address, in the desktop's browser.
    virtual void openAddress(std::string_view address) = 0;
    // A file, with the desktop's default application for it.
    virtual void openFile(std::string_view path) = 0;
    // A desktop notification; activating it brings the dialog to the front. Nothing happens
    // where the desktop has no notification service.
    virtual void notify(std::string_view summary, std::string_view body) = 0;
};

}  // namespace morvane::ui
