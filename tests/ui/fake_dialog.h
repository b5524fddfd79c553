#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/desktop.h"
#include "ui/dialog_view.h"

namespace morvane::test {

using ControlTexts = std::map<ui::ControlId, std::string>;

// A dialog that only remembers what was done to its controls, answers its choosers from a
// queue ("" or none cancels) and keeps every warning with the texts shown while it was up.
class FakeDialog final : public ui::DialogView, public ui::Desktop {
public:
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    struct Warning {
        std::string caption;
        std::string text;
        ControlTexts shown;
    };

    void setControlText(ui::ControlId id, std::string_view text) override { texts[id] = text; }
    void setControlEnabled(ui::ControlId id, bool isEnabled) override { enabled[id] = isEnabled; }
    void fillList(ui::ControlId id, const std::vector<std::string_view>& items) override {
        lists[id].assign(items.begin(), items.end());
        selected[id] = -1;
    }
    void selectListItem(ui::ControlId id, int position) override {
        const bool held = position >= 0 && position < static_cast<int>(lists[id].size());
        selected[id] = held ? position : -1;
    }
    void setProgress(int percent) override { progress = percent; }
    void setTitle(std::string_view title) override { windowTitle = title; }
    void moveFocusToDialog() override {}
    bool isActive() const override { return active; }

    std::optional<std::string> chooseFile(std::string_view title) override {
        return chooseFolder(title, {});
    }
    std::optional<std::string> chooseFolder(std::string_view title,
                                            std::string_view start) override {
        choosers.emplace_back(title, start);
        std::string given;
        if (!answers.empty()) {
            given = std::move(answers.front());
            answers.pop_front();
        }
        return given.empty() ? std::nullopt : std::optional(given);
    }
    void warn(std::string_view caption, std::string_view text) override {
        warnings.push_back({std::string(caption), std::string(text), texts});
    }
    void openAddress(std::string_view address) override { opened.emplace_back(address); }
    void openFile(std::string_view path) override { opened.emplace_back(path); }
    void notify(std::string_view summary, std::string_view body) override {
        notifications.emplace_back(summary, body);
    }

    std::string text(ui::ControlId id) const { return texts.contains(id) ? texts.at(id) : ""; }

    ControlTexts texts;
    std::map<ui::ControlId, bool> enabled;
    std::map<ui::ControlId, std::vector<std::string>> lists;
    std::map<ui::ControlId, int> selected;  // -1: nothing selected
    int progress = -1;
    std::string windowTitle;
    std::deque<std::string> answers;  // to the choosers, file or folder, in turn
    Pairs choosers;                   // title, start
    std::vector<Warning> warnings;
    std::vector<std::string> opened;
    bool active = true;
    Pairs notifications;  // summary, body
};

}  // namespace morvane::test
