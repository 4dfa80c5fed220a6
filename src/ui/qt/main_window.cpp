#include "ui/qt/main_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QStatusBar>

#include "core/startup.h"

namespace orv::qt {

MainWindow::MainWindow(core::ProgramFolders folders, QWidget* parent) : QMainWindow(parent) {
    ws_.folders = std::move(folders);
    host_ = std::make_unique<QtHost>(this, [this] { syncFromModel(); });
    ctx_ = std::make_unique<core::Ctx>(core::Ctx{ws_, frm_, *host_});
    setWindowTitle("Orvandel");
    resize(1280, 900);

    auto* central = new QWidget(this);
    setCentralWidget(central);
    title_ = new QLabel(central);
    title_->setGeometry(10, 8, 300, 24);
    version_ = new QLabel(this);
    version_->setObjectName("lblVersion");
    statusBar()->addPermanentWidget(version_);

    core::Form_Load(*ctx_);
    syncFromModel();
}

MainWindow::~MainWindow() = default;

void MainWindow::syncFromModel() {
    title_->setText(QString::fromStdString(frm_.Label1[0].Caption));
    title_->setToolTip(QString::fromStdString(frm_.Label1[0].ToolTipText));
    version_->setText(QString::fromStdString(frm_.lblVersion.Caption));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    core::Form_Unload(*ctx_);
    event->accept();
}

}  // namespace orv::qt
