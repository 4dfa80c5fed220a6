#include "window/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>

#include "control/stage_refresh.h"
#include "control/startup.h"
#include "core/numeric.h"
#include "form/stage.h"
#include "tiles/big_pic.h"
#include "view/view_switch.h"
#include "window/big_pic_window.h"
#include "window/picture_layer.h"
#include "window/widgets.h"

namespace orv::window {

MainWindow::MainWindow(core::ProgramFolders folders, QWidget* parent) : QMainWindow(parent) {
    ws_.folders = std::move(folders);
    host_ = std::make_unique<QtHost>(this, [this] { syncFromModel(); });
    ctx_ = std::make_unique<form::Ctx>(
        form::Ctx{ws_, frm_, *host_, &bigFrm_, control::stageRefresh()});
    setWindowTitle("Orvandel");

    flicker_ = new QTimer(this);
    connect(flicker_, &QTimer::timeout, this, [this] { runHandler(view::tmrFlicker_Timer); });

    buildWindow();
    fitToScreen();
    runHandler(control::Form_Load);
}

MainWindow::~MainWindow() {
    // The widgets go first, while the model they show still exists; a focus change on the
    // way out runs no handler.
    destroying_ = true;
    flicker_->stop();
    delete bigWindow_;
    delete takeCentralWidget();
}

void MainWindow::syncFromModel() {
    if (destroying_) return;
    for (auto& sync : syncers_) sync();
    syncTimer();
    if (bigWindow_) bigWindow_->syncFromModel();
}

void MainWindow::showBigPicWindow() {
    if (!bigFrm_.Visible) return;
    if (!bigWindow_) bigWindow_ = new BigPicWindow(*this);
    bigWindow_->syncFromModel();
    bigWindow_->move(static_cast<int>(bigFrm_.Left), static_cast<int>(bigFrm_.Top));
    bigWindow_->showNormal();
    bigWindow_->raise();
    bigWindow_->activateWindow();
}

void MainWindow::syncTimer() {
    const form::Timer& t = frm_.tmrFlicker;
    if (t.Enabled && t.Interval > 0) {
        if (!flicker_->isActive() || flicker_->interval() != t.Interval)
            flicker_->start(t.Interval);
    } else if (flicker_->isActive()) {
        flicker_->stop();
    }
}

namespace {

// Stages in which a step is under way; a fault there must not leave the window locked.
bool isRunningStage(int16_t stage) {
    switch (stage) {
        case core::kStageBatch:
        case core::kStageLoading:
        case core::kStagePipeline:
        case core::kStageBackground:
        case core::kStageClustering:
        case core::kStageAnalysing:
        case core::kStageSaving:
        case core::kStageReading:
            return true;
        default:
            return false;
    }
}

}  // namespace

void MainWindow::runHandler(const Handler& handler) {
    if (destroying_ || !handler) return;
    if (running_ == 0) stageBefore_ = ws_.ProcStage;
    ++running_;
    QString fault;
    try {
        handler(*ctx_);
    } catch (const core::ArithmeticFault& e) {
        fault = QString("実行時エラー: %1").arg(QString::fromUtf8(e.what()));
    } catch (const std::exception& e) {
        fault = QString("エラー: %1").arg(QString::fromUtf8(e.what()));
    }
    if (!fault.isEmpty()) {
        // The step ends here with what it reached; the window goes back to the stage it was in
        // before the step so that the user can go on (load, redo or save).
        host_->setBusy(false);
        frm_.hideStepProgress();
        if (running_ == 1 && isRunningStage(ws_.ProcStage))
            form::setStage(*ctx_,
                           isRunningStage(stageBefore_) ? int16_t{core::kStageIdle} : stageBefore_);
        host_->msgBox(fault.toStdString(), form::MsgButtons::Ok, "Orvandel");
    }
    --running_;
    // A step that ended early must not leave the hourglass behind.
    if (running_ == 0) host_->setBusy(false);
    syncFromModel();
    if (running_ == 0 && closeWhenDone_) {
        closeWhenDone_ = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void MainWindow::commitFocusedBox() {
    if (auto* box = qobject_cast<SettingsBox*>(QApplication::focusWidget());
        box && box->window() == this)
        emit box->committed();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (running()) {
        // Closing now would pull the working state from under the running step: ask whether
        // to stop it and close when it has ended.
        event->ignore();
        if (closeWhenDone_) return;
        if (host_->msgBox(kCloseWhileRunning, form::MsgButtons::OkCancel, "") ==
                form::MsgAnswer::Ok &&
            running()) {
            closeWhenDone_ = true;
            ws_.CancelRequested = -1;
            frm_.cmdCancel.Visible = false;
            frm_.lblStop.Visible = true;
            frm_.lblMsg.Caption = kBusyCloseMessage;
        }
        syncFromModel();
        return;
    }
    if (!unloaded_) {
        commitFocusedBox();
        unloaded_ = true;
        // Saving the settings may fail; the window closes all the same.
        runHandler(control::Form_Unload);
    }
    flicker_->stop();
    event->accept();
}

void MainWindow::fitToScreen() {
    QSize size(static_cast<int>(frm_.Width), static_cast<int>(frm_.Height));
    if (const QScreen* s = screen()) size = size.boundedTo(s->availableGeometry().size());
    resize(size);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (fitted_) return;
    fitted_ = true;
    // The frame the window system adds is known only now: the whole window fits the screen.
    if (const QScreen* s = screen()) {
        const QRect available = s->availableGeometry();
        const QSize frame = frameGeometry().size() - size();
        const QSize fit = size().boundedTo(available.size() - frame);
        if (fit != size()) resize(fit);
        if (!available.contains(frameGeometry())) move(available.topLeft());
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (!ctx_) return;
    frm_.Width = event->size().width();
    frm_.Height = event->size().height();
    const double outer = frameGeometry().width();
    runHandler([&](form::Ctx& ctx) {
        view::Form_Resize(ctx, outer, event->size().width(), event->size().height());
    });
    layoutStatus();
    layoutColumn();
}

}  // namespace orv::window
