#pragma once

#include <QTimer>
#include <QWidget>
#include <map>

#include "engine/batch_listener.h"
#include "engine/engine_services.h"
#include "ui/dialog_controller.h"
#include "ui/dialog_view.h"

namespace morvane::ui {

class LogView;

// The program's window: the controls of the dialog template, placed in the desktop's font,
// bound to the dialog's logic. Fixed size; Esc does nothing; Enter in an edit or a list is
// the dialog's Enter; closing stops a running batch and writes the settings. A file or folder
// dropped on it becomes the source.
class MainDialog final : public QWidget, public DialogView, public BatchListener {
    Q_OBJECT

public:
    // Registers its log window with `log` until it is destroyed.
    MainDialog(SettingsStore& settings, ProfileTable& profiles, SourceFileList& sources,
               ConversionLog& log, Desktop& desktop, QWidget* parent = nullptr);
    ~MainDialog() override;

    // The control of an identifier of the template.
    QWidget* control(ControlId id) const;
    LogView& logView() const { return *logView_; }
    DialogController& controller() { return controller_; }

    // DialogView
    void setControlText(ControlId id, std::string_view text) override;
    void setControlEnabled(ControlId id, bool enabled) override;
    void fillList(ControlId id, const std::vector<std::string_view>& items) override;
    void selectListItem(ControlId id, int position) override;
    void setToolTip(ControlId id, std::string_view text) override;
    void setChecked(ControlId id, bool checked) override;
    void setProgress(int percent) override;
    void setTitle(std::string_view title) override;
    void moveFocusToDialog() override;
    bool isActive() const override;

    // BatchListener: the session's notice reaches the controller on this window's thread.
    void batchEnded() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // One local file or folder dropped anywhere on the dialog is its new source; anything
    // else, or anything while a batch runs, is refused.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildControls();
    void bindControls();

    ConversionLog& log_;
    std::map<int, QWidget*> controls_;
    std::map<int, QWidget*> arrowsOf_;  // a number field's arrow pair
    LogView* logView_ = nullptr;
    QTimer progressTimer_;
    EngineServices services_;
    DialogController controller_;
};

}  // namespace morvane::ui
