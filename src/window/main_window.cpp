#include "window/main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QUrl>

#include "control/stage_refresh.h"
#include "control/startup.h"
#include "control/user_actions.h"
#include "core/numeric.h"
#include "edit/undo.h"
#include "form/stage.h"
#include "form/window_place.h"
#include "tiles/big_pic.h"
#include "view/view_switch.h"
#include "window/big_pic_window.h"
#include "window/bindings.h"
#include "window/navigation_widgets.h"
#include "window/picture_layer.h"
#include "window/results_window.h"
#include "window/stretch_window.h"
#include "window/widgets.h"

namespace orv::window {

void useApplicationLook() {
    QApplication::setApplicationName("Orvandel");
    QFont font("IPAGothic");
    font.setPointSizeF(9);
    QApplication::setFont(font);
}

MainWindow::MainWindow(core::ProgramFolders folders, QWidget* parent) : QMainWindow(parent) {
    ws_.folders = std::move(folders);
    host_ = std::make_unique<QtHost>(this, [this] { syncFromModel(); });
    ctx_ = std::make_unique<form::Ctx>(
        form::Ctx{ws_, frm_, *host_, &bigFrm_, control::stageRefresh()});
    setWindowTitle("Orvandel");

    flicker_ = new QTimer(this);
    connect(flicker_, &QTimer::timeout, this, [this] { runHandler(view::tmrFlicker_Timer); });

    buildWindow();
    buildShortcuts();
    fitToScreen();
    runHandler(control::Form_Load);
}

std::string MainWindow::placeFile() const {
    return form::windowPlaceFile(ws_.folders);
}

void MainWindow::openPicture(const QString& path) {
    // A file manager may hand over a URL.
    const QString file =
        path.startsWith("file:") ? QUrl(path).toLocalFile() : QDir::fromNativeSeparators(path);
    runHandler([&file](form::Ctx& ctx) { control::openPictureFile(ctx, file.toStdString()); });
}

MainWindow::~MainWindow() {
    // The widgets go first, while the model they show still exists; a focus change on the
    // way out runs no handler.
    destroying_ = true;
    flicker_->stop();
    delete results_;
    delete stretchWindow_;
    delete bigWindow_;
    delete takeCentralWidget();
}

void MainWindow::syncFromModel() {
    if (destroying_) return;
    control::OV_DispCaption(*ctx_);
    if (const QString title = qs(frm_.Caption); windowTitle() != title) setWindowTitle(title);
    for (auto& sync : syncers_) sync();
    syncTimer();
    if (bigWindow_) bigWindow_->syncFromModel();
    if (results_) results_->syncFromModel();
    if (stretchWindow_) stretchWindow_->syncFromModel();
}

void MainWindow::showBigPicWindow() {
    if (!bigFrm_.Visible) return;
    if (!bigWindow_) bigWindow_ = new BigPicWindow(*this);
    bigWindow_->syncFromModel();
    bigWindow_->showAtPlace();
}

void MainWindow::showResultsWindow() {
    if (!results_) results_ = new ResultsWindow(*this);
    results_->open();
}

void MainWindow::showStretchWindow() {
    if (!stretchWindow_) stretchWindow_ = new StretchWindow(*this);
    stretchWindow_->open();
}

void MainWindow::setDisplayStretch(const view::DisplayStretch& stretch) {
    stretch_ = stretch;
    stretchTable_ = view::stretchTable(stretch);
    // The standard stretch shows the layers as drawn, without a pass over their pixels.
    const view::StretchTable* table = stretch.standard() ? nullptr : &stretchTable_;
    layers_[0]->setStretch(table);
    layers_[1]->setStretch(table);
    thumbnail_->setStretch(table);
    if (magnifier_) magnifier_->update();
}

bool MainWindow::editsAllowed() const {
    return !running() && ws_.MaxStarNo > 0 && frm_.fraMain[0].Visible && frm_.fraMain[0].Enabled &&
           frm_.fra4.Visible && frm_.fra4.Enabled;
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
        // Unsaved results or hand work: 保存, 破棄 or キャンセル (which keeps the window open).
        // (A fault in the question's save keeps the window open.)
        bool mayClose = false;
        runHandler([&mayClose](form::Ctx& ctx) { mayClose = control::onClose(ctx); });
        if (!mayClose) {
            event->ignore();
            return;
        }
        commitFocusedBox();
        unloaded_ = true;
        rememberPlace();
        // Saving the settings may fail; the window closes all the same.
        runHandler(control::Form_Unload);
    }
    flicker_->stop();
    event->accept();
}

namespace {

// The available area of the screen that holds `point`, else of the primary screen.
QRect availableAround(QPoint point) {
    const QScreen* s = QGuiApplication::screenAt(point);
    if (!s) s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect();
}

form::ScreenArea areaOf(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

// The smallest client that still shows the left column beside a useful viewport.
constexpr int kMinClientWidth = 800, kMinClientHeight = 520;

}  // namespace

void MainWindow::fitToScreen() {
    // The remembered place, or the model's size at the screen's corner; the frame is added
    // once it is known (showEvent).
    form::WindowPlace place{0, 0, static_cast<int>(frm_.Width), static_cast<int>(frm_.Height)};
    if (auto remembered = form::readWindowPlace(placeFile())) {
        place = *remembered;
        placeRestored_ = true;
    }
    const QRect available = availableAround(QPoint(place.left, place.top));
    if (!placeRestored_) {
        place.left = available.x();
        place.top = available.y();
    }
    if (!available.isEmpty())
        place =
            form::fitOnScreen(place, areaOf(available), 0, 0, kMinClientWidth, kMinClientHeight);
    resize(place.width, place.height);
    if (placeRestored_) move(place.left, place.top);
    if (place.maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (fitted_) return;
    fitted_ = true;
    if (isMaximized()) return;
    // The frame the window system adds is known only now: the whole window, frame and title bar
    // included, fits the screen's area beside the task bar.
    const QRect available = availableAround(frameGeometry().topLeft());
    if (available.isEmpty()) return;
    const QSize frame = frameGeometry().size() - size();
    const form::WindowPlace fit =
        form::fitOnScreen({pos().x(), pos().y(), width(), height()}, areaOf(available),
                          frame.width(), frame.height(), kMinClientWidth, kMinClientHeight);
    if (QSize(fit.width, fit.height) != size()) resize(fit.width, fit.height);
    if (QPoint(fit.left, fit.top) != pos()) move(fit.left, fit.top);
}

void MainWindow::rememberPlace() {
    if (!fitted_) return;
    form::WindowPlace place{pos().x(), pos().y(), width(), height(), isMaximized()};
    if (isMaximized()) {
        // The place it returns to: the normal client rectangle, less the frame's offset.
        const QRect normal = normalGeometry();
        const QPoint frameOffset = geometry().topLeft() - frameGeometry().topLeft();
        place.left = normal.x() - frameOffset.x();
        place.top = normal.y() - frameOffset.y();
        place.width = normal.width();
        place.height = normal.height();
    }
    // A place that cannot be written is only forgotten: the next start uses the default.
    static_cast<void>(form::writeWindowPlace(placeFile(), place));
}

void MainWindow::buildShortcuts() {
    // Each presses its button, only when the button itself could be pressed (the stage's
    // panel state), and takes the settings box being edited first, as a click would.
    const struct {
        const form::CommandButton& model;
        const char* button;
    } keyed[] = {{frm_.cmdDataIn[1], "cmdDataIn(1)"},
                 {frm_.cmdDoAll, "cmdDoAll"},
                 {frm_.cmdSaveData, "cmdSaveData"},
                 {frm_.cmdReadData, "cmdReadData"},
                 {frm_.cmdResultList, "cmdResultList"}};
    for (const auto& k : keyed) {
        auto* button = findChild<QAbstractButton*>(k.button);
        auto* shortcut = new QShortcut(QKeySequence(qs(k.model.Shortcut)), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, button] {
            if (running() || !button->isEnabled() || !button->isVisible()) return;
            commitFocusedBox();
            if (button->isEnabled()) button->click();
        });
    }
    // Undo and redo of the hand edits; a text box being typed in keeps these keys for its own
    // text.
    addEditHistoryKeys(this);
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    quit->setContext(Qt::WindowShortcut);
    connect(quit, &QShortcut::activated, this, &QWidget::close);
}

void MainWindow::addEditHistoryKeys(QWidget* window) {
    const struct {
        QKeySequence keys;
        bool undo;
    } edits[] = {{QKeySequence(Qt::CTRL | Qt::Key_Z), true},
                 {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), false},
                 {QKeySequence(Qt::CTRL | Qt::Key_Y), false}};
    for (const auto& e : edits) {
        auto* shortcut = new QShortcut(e.keys, window);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, window, [this, undo = e.undo] {
            if (!editsAllowed()) return;
            runHandler(undo ? edit::undoEdit : edit::redoEdit);
        });
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
