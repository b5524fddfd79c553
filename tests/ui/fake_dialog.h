#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/desktop.h"
#include "ui/dialog_view.h"

namespace morvane::test {

// The controls whose state a batch takes away and gives back.
inline constexpr ui::ControlId kLockedControls[] = {
    ui::kConvertButton,  ui::kSourceBrowse,      ui::kDestinationBrowse, ui::kFileNameField,
    ui::kSourceModeList, ui::kSizeList,          ui::kWidthField,        ui::kHeightField,
    ui::kProfileList,    ui::kVideoQualityField, ui::kAudioQualityField, ui::kAudioModeList};

// A dialog that only remembers what was done to its controls. A control nobody touched counts
// as enabled, as every control of the template starts.
class FakeDialogView final : public ui::DialogView {
public:
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
    void moveFocusToDialog() override { textsAtFocusMoves.push_back(texts); }

    std::string text(ui::ControlId id) const {
        const auto found = texts.find(id);
        return found == texts.end() ? std::string() : found->second;
    }
    bool isEnabled(ui::ControlId id) const {
        const auto found = enabled.find(id);
        return found == enabled.end() || found->second;
    }

    std::map<ui::ControlId, std::string> texts;
    std::map<ui::ControlId, bool> enabled;
    std::map<ui::ControlId, std::vector<std::string>> lists;
    std::map<ui::ControlId, int> selected;  // -1: nothing selected
    int progress = -1;
    // The texts of the controls at each move of the focus to the dialog.
    std::vector<std::map<ui::ControlId, std::string>> textsAtFocusMoves;
};

// Answers the choosers from queues (an empty queue cancels) and keeps every warning together
// with the texts that the dialog showed while it was up.
class FakeDesktop final : public ui::Desktop {
public:
    struct Chooser {
        std::string title;
        std::string start;
    };
    struct Warning {
        std::string caption;
        std::string text;
        std::map<ui::ControlId, std::string> shown;
    };

    explicit FakeDesktop(const FakeDialogView& view) : view_(view) {}

    std::optional<std::string> chooseFile(std::string_view title) override {
        return answer(fileAnswers, title, {});
    }
    std::optional<std::string> chooseFolder(std::string_view title,
                                            std::string_view start) override {
        return answer(folderAnswers, title, start);
    }
    void warn(std::string_view caption, std::string_view text) override {
        warnings.push_back({std::string(caption), std::string(text), view_.texts});
    }
    void openAddress(std::string_view address) override { opened.emplace_back(address); }
    void openFile(std::string_view path) override { opened.emplace_back(path); }

    std::deque<std::optional<std::string>> fileAnswers;
    std::deque<std::optional<std::string>> folderAnswers;
    std::vector<Chooser> choosers;
    std::vector<Warning> warnings;
    std::vector<std::string> opened;

private:
    std::optional<std::string> answer(std::deque<std::optional<std::string>>& answers,
                                      std::string_view title, std::string_view start) {
        choosers.push_back({std::string(title), std::string(start)});
        if (answers.empty()) {
            return std::nullopt;
        }
        std::optional<std::string> given = std::move(answers.front());
        answers.pop_front();
        return given;
    }

    const FakeDialogView& view_;
};

}  // namespace morvane::test
