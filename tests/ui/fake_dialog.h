#pragma once

#include <algorithm>
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
    void setToolTip(ui::ControlId id, std::string_view text) override { toolTips[id] = text; }
    void setChecked(ui::ControlId id, bool isChecked) override { checked[id] = isChecked; }
    void setProgress(int percent) override { progress = percent; }
    void setTitle(std::string_view title) override { windowTitle = title; }
    void moveFocusToDialog() override {}
    bool isActive() const override { return active; }

    // An answer names several files on lines of their own.
    std::vector<std::string> chooseFiles(std::string_view title) override {
        std::vector<std::string> files;
        if (const std::optional<std::string> answer = chooseFolder(title, {})) {
            for (size_t start = 0; start <= answer->size();) {
                const size_t end = std::min(answer->find('\n', start), answer->size());
                files.push_back(answer->substr(start, end - start));
                start = end + 1;
            }
        }
        return files;
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
    std::map<ui::ControlId, std::string> toolTips;
    std::map<ui::ControlId, bool> checked;
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
