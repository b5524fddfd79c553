#pragma once

#include <string_view>
#include <vector>

#include "ui/control_ids.h"

namespace morvane::ui {

// What the dialog's logic does to its controls. The window implements it; tests record it.
class DialogView {
public:
    virtual ~DialogView() = default;
    // An edit's, button's or label's text.
    virtual void setControlText(ControlId id, std::string_view text) = 0;
    virtual void setControlEnabled(ControlId id, bool enabled) = 0;
    // Puts the items into a list at positions 0, 1, 2, ... in this order.
    virtual void fillList(ControlId id, const std::vector<std::string_view>& items) = 0;
    // Selects a list position; a position the list does not have leaves it without selection.
    virtual void selectListItem(ControlId id, int position) = 0;
    // The text shown when the pointer rests on a control; empty for none.
    virtual void setToolTip(ControlId /*id*/, std::string_view /*text*/) {}
    virtual void setChecked(ControlId /*id*/, bool /*checked*/) {}
    virtual void setProgress(int percent) = 0;
    // The window's title, as the task bar shows it.
    virtual void setTitle(std::string_view /*title*/) {}
    // Moves the keyboard focus to the dialog itself, so that the focused field loses it.
    virtual void moveFocusToDialog() = 0;
    // Whether the dialog is the window the user works in.
    virtual bool isActive() const = 0;
};

}  // namespace morvane::ui
