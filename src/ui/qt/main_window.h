#pragma once
// frmOrvandel as a Qt window: builds the widgets from the model, copies the model to the
// widgets after every handler and at every pump, and turns user actions into model changes
// followed by the named handler.

#include <QMainWindow>
#include <memory>

#include "core/context.h"
#include "ui/qt/qt_host.h"

class QLabel;

namespace orv::qt {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(core::ProgramFolders folders, QWidget* parent = nullptr);
    ~MainWindow() override;

    core::Workspace& workspace() { return ws_; }
    ui::FrmOrvandel& form() { return frm_; }
    QtHost& host() { return *host_; }
    core::Ctx& ctx() { return *ctx_; }

    // Copies the model to the widgets.
    void syncFromModel();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    core::Workspace ws_;
    ui::FrmOrvandel frm_;
    std::unique_ptr<QtHost> host_;
    std::unique_ptr<core::Ctx> ctx_;
    QLabel* title_ = nullptr;
    QLabel* version_ = nullptr;
};

}  // namespace orv::qt
