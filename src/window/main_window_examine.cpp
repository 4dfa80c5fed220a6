// The main window's controls for examining by eye: the information panel fraStarInfo with its edit
// frame fraEdit (in the detection page, below its frames), the zoom, pan and magnifier controls and
// the navigator of fraView, and what the pointer, the wheel and the keys do on the pictures.
//
//   fraStarInfo (292 x 138)                      fraEdit over its upper rows when open
//   +-------------------------------------+      +---------------------------------+
//   | 座標　X  1234.6 | Y        567.8    |      | [削除]■ [ノイズ解除]■     [OK] |
//   | 面積        123 | 閾値        4     |      | [note .........................]|
//   | ...             | ...               |      +---------------------------------+
//   | Atr(0) 円状天体 | Atr(1)  自動抽出  |
//   |                              [編集] |
//   +-------------------------------------+

#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "edit/manual_edit.h"
#include "edit/pointer.h"
#include "edit/review.h"
#include "view/navigation.h"
#include "window/bindings.h"
#include "window/main_window.h"
#include "window/navigation_widgets.h"
#include "window/picture_layer.h"
#include "window/widgets.h"

namespace orv::window {

namespace {

constexpr int kColumnWidth = 320;  // the left column, up to the viewport
constexpr int kRowH = 15;          // a row of the information panel
constexpr int kButtonH = 22;       // a push button or text box
// The panel's place in the detection page, under the page's frames.
const QRect kStarInfoGeometry(4, 414, 292, 138);
// Screen pixels the picture moves per wheel notch when the wheel pans.
constexpr double kWheelPanPx = 60;
// The navigation panel: its row of buttons above the thumbnail area, at most 300 pixels
// square, at least half that on a low window; the gap between it and the controls above.
constexpr int kNavigationButtons = 32;
constexpr int kThumbnailSide = 300;
constexpr double kMinThumbnailScale = 0.5;
constexpr int kColumnGap = 6;

QString indexed(const char* name, int index) {
    return QString("%1(%2)").arg(name).arg(index);
}

int shiftBits(Qt::KeyboardModifiers m) {
    int bits = 0;
    if (m & Qt::ShiftModifier) bits |= edit::kShiftKey;
    if (m & Qt::ControlModifier) bits |= edit::kCtrlKey;
    if (m & Qt::AltModifier) bits |= edit::kAltKey;
    return bits;
}

int buttonBits(Qt::MouseButtons b) {
    int bits = 0;
    if (b & Qt::LeftButton) bits |= 1;
    if (b & Qt::RightButton) bits |= 2;
    if (b & Qt::MiddleButton) bits |= 4;
    return bits;
}

// Pointer events on the picture layers, and the wheel and the keys on the viewport, turned
// into the handlers. Nothing reaches them while a step runs: the tables may be half-built.
// The pointer handlers yield to the event queue themselves; the events that arrive then are
// handled at once, as they come.
class PictureInput : public QObject {
public:
    PictureInput(MainWindow& window, QWidget* viewport) : QObject(viewport), w_(window) {
        viewport_ = viewport;
        for (int i = 0; i < 5; ++i) {
            QWidget* layer = w_.layer(i);
            layer->setMouseTracking(true);
            layer->installEventFilter(this);
        }
        viewport->setFocusPolicy(Qt::ClickFocus);
        viewport->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        for (int i = 0; i < 5; ++i)
            if (watched == w_.layer(i)) return pointer(i, event);
        if (watched != viewport_) return false;
        if (event->type() == QEvent::KeyPress) return key(static_cast<QKeyEvent*>(event));
        if (event->type() == QEvent::Wheel) return wheel(static_cast<QWheelEvent*>(event));
        return false;
    }

private:
    form::Ctx& ctx() { return w_.ctx(); }
    // A handler other than this input's own is under way (a step, a redisplay, a dialog).
    bool busy() const { return w_.running() && depth_ == 0; }
    void run(const MainWindow::Handler& handler) {
        ++depth_;
        w_.runHandler(handler);
        --depth_;
    }
    const form::FrmOrvandel& form() { return w_.form(); }
    // The zoom and pan controls may be used (the keys and the wheel follow them).
    bool navigable() { return form().fraView.Visible && form().fraView.Enabled; }

    bool pointer(int index, QEvent* event) {
        const QEvent::Type type = event->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick &&
            type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
            return false;
        if (busy()) return true;
        auto* e = static_cast<QMouseEvent*>(event);
        PictureLayer* layer = w_.layer(index);
        const QPointF at = layer->toPicture(e->position());
        const float x = static_cast<float>(at.x()), y = static_cast<float>(at.y());
        const int shift = shiftBits(e->modifiers());
        if (type == QEvent::MouseMove) {
            if (w_.magnifier())
                w_.magnifier()->keepAwayFrom(layer->mapTo(viewport_, e->position()).toPoint().x());
            const int button = buttonBits(e->buttons());
            run([=](form::Ctx& c) { edit::picHSC_MouseMove(c, index, button, shift, x, y); });
        } else if (type == QEvent::MouseButtonRelease) {
            const int button = buttonBits(e->button());
            run([=](form::Ctx& c) { edit::picHSC_MouseUp(c, index, button, shift, x, y); });
        } else {
            // A quick second click counts as a click of its own.
            const int button = buttonBits(e->button());
            run([=](form::Ctx& c) { edit::picHSC_MouseDown(c, index, button, shift, x, y); });
        }
        return true;
    }

    bool wheel(QWheelEvent* e) {
        e->accept();
        if (busy() || !navigable()) return true;
        const QPoint angle = e->angleDelta();
        const auto mods = e->modifiers();
        const bool hand = w_.workspace().HandMode == -1;
        if (angle.x() == 0 && !(mods & (Qt::ShiftModifier | Qt::ControlModifier)) && !hand) {
            // Zoom one step per notch about the pointer, the notches of one event at once.
            accumulated_ += angle.y();
            const QPointF at = e->position();
            const int steps = accumulated_ / 120;
            accumulated_ -= 120 * steps;
            if (steps != 0) run([=](form::Ctx& c) { view::zoomAt(c, steps, at.x(), at.y()); });
            followPointer(at);
            return true;
        }
        // Pan: Shift turns the wheel sideways; a sideways wheel or swipe pans sideways.
        double dx = angle.x() / 120.0 * kWheelPanPx, dy = angle.y() / 120.0 * kWheelPanPx;
        if (!e->pixelDelta().isNull()) {
            dx = e->pixelDelta().x();
            dy = e->pixelDelta().y();
        }
        if (mods & Qt::ShiftModifier) std::swap(dx, dy);
        run([=](form::Ctx& c) { view::panBy(c, dx, dy); });
        followPointer(e->position());
        return true;
    }

    // The picture moved under the pointer, which stayed at `at` (viewport pixels): the
    // position line and the magnifier follow without waiting for the pointer to move.
    void followPointer(QPointF at) {
        for (int i = 4; i >= 0; --i) {
            PictureLayer* layer = w_.layer(i);
            if (layer->isHidden()) continue;
            const QPointF local = layer->mapFrom(viewport_, at);
            if (!layer->rect().contains(local.toPoint())) continue;
            const QPointF p = layer->toPicture(local);
            const float x = static_cast<float>(p.x()), y = static_cast<float>(p.y());
            run([=](form::Ctx& c) { edit::followPointer(c, i, x, y); });
            return;
        }
    }

    bool key(QKeyEvent* e) {
        if (busy()) return false;
        const auto mods = e->modifiers() & ~Qt::KeypadModifier;
        const bool plain = (mods & ~Qt::ShiftModifier) == Qt::NoModifier;
        if (!plain) return false;
        auto handle = [this](const MainWindow::Handler& h) {
            run(h);
            return true;
        };
        const bool results = w_.workspace().MaxStarNo > 0 && form().fraMain[0].Enabled;
        const bool editable = results && edit::hasShownSelection(ctx());
        switch (e->key()) {
            case Qt::Key_Plus:
            case Qt::Key_Equal:
                if (navigable()) return handle([](form::Ctx& c) { view::cmdZoom_Click(c, 0); });
                return false;
            case Qt::Key_Minus:
                if (navigable()) return handle([](form::Ctx& c) { view::cmdZoom_Click(c, 1); });
                return false;
            case Qt::Key_F:
                // The whole picture in the viewport.
                if (!navigable()) return false;
                return handle(view::zoomToFit);
            case Qt::Key_0:
                // Back to the start: scale 1 at the top-left corner, every result in the queue.
                if (!navigable()) return false;
                return handle([](form::Ctx& c) {
                    view::cmdZoom_Click(c, 2);
                    c.ws.ReviewClass = 0;
                });
            case Qt::Key_Left:
            case Qt::Key_Right:
            case Qt::Key_Up:
            case Qt::Key_Down: {
                if (!navigable()) return false;
                const int index = e->key() == Qt::Key_Left    ? 0
                                  : e->key() == Qt::Key_Right ? 1
                                  : e->key() == Qt::Key_Up    ? 2
                                                              : 3;
                return handle([index](form::Ctx& c) { view::cmdPicMove_Click(c, index); });
            }
            case Qt::Key_N:
            case Qt::Key_P: {
                if (!results) return false;
                const int direction = e->key() == Qt::Key_N ? 1 : -1;
                return handle([direction](form::Ctx& c) { edit::reviewStep(c, direction); });
            }
            case Qt::Key_1:
            case Qt::Key_2:
            case Qt::Key_3:
            case Qt::Key_4:
            case Qt::Key_5: {
                if (!results) return false;
                const int atr = e->key() - Qt::Key_0;
                return handle([atr](form::Ctx& c) { edit::reviewClass(c, atr); });
            }
            case Qt::Key_Delete:
                if (editable) return handle(edit::cmdEditDelete_Click);
                return false;
            case Qt::Key_Backspace:
                if (editable) return handle(edit::cmdEditUnDelete_Click);
                return false;
            case Qt::Key_U: {
                if (!editable) return false;
                const int index = (mods & Qt::ShiftModifier) ? 1 : 0;
                return handle([index](form::Ctx& c) { edit::cmdEditUnNoize_Click(c, index); });
            }
            default:
                return false;
        }
    }

    MainWindow& w_;
    QWidget* viewport_ = nullptr;
    int accumulated_ = 0;  // wheel angle not yet turned into a zoom step
    int depth_ = 0;        // this input's handlers under way
};

}  // namespace

void MainWindow::wirePictureInput(QWidget* viewport) {
    new PictureInput(*this, viewport);
    onSync([this, viewport] {
        const Qt::CursorShape shape = frm_.MousePointer == form::FrmOrvandel::Pointer::SizeAll
                                          ? Qt::SizeAllCursor
                                          : Qt::ArrowCursor;
        if (viewport->cursor().shape() != shape) viewport->setCursor(shape);
    });
    magnifier_ = new Magnifier(frm_.picMag, frm_.shpMagPixel, viewport);
    magnifier_->setObjectName("picMag");
    // The input and background views are shown through the display stretch: so is their square.
    magnifier_->setStretch([this]() -> const view::StretchTable* {
        const int source = frm_.picMagSource;
        return source == 0 || source == 1 ? layers_[source]->shownStretch() : nullptr;
    });
    onSync([this] { magnifier_->sync(); });
}

void MainWindow::buildNavigationControls(QWidget* view, QWidget* thumbnailArea) {
    auto& f = frm_;
    // One row: ＋ － ◎ ✋, 全体, the four arrows, 虫めがね.
    for (int i = 0; i < 4; ++i) {
        const QRect g(2 + 25 * i, 4, 24, 25);
        if (i == 3) {
            auto* hand = new PictureButtonWidget(view);
            hand->setObjectName(indexed("cmdZoom", i));
            hand->setGeometry(g);
            bind([hand, &m = f.cmdZoom[3]] { hand->sync(m); });
            connect(hand, &QPushButton::clicked, this,
                    [this] { runHandler([](form::Ctx& c) { view::cmdZoom_Click(c, 3); }); });
            continue;
        }
        makeButton(view, indexed("cmdZoom", i), f.cmdZoom[i], g,
                   [i](form::Ctx& c) { view::cmdZoom_Click(c, i); });
    }
    makeButton(view, "cmdZoomFit", f.cmdZoomFit, QRect(103, 4, 34, 25), view::zoomToFit);
    for (int i = 0; i < 4; ++i)
        makeButton(view, indexed("cmdPicMove", i), f.cmdPicMove[i], QRect(140 + 23 * i, 4, 22, 25),
                   [i](form::Ctx& c) { view::cmdPicMove_Click(c, i); });
    auto* mag = makeCheck(view, "chkMag", f.chkMag, QRect(233, 8, 66, 18), view::chkMag_Click);
    mag->resize(std::min(66, mag->sizeHint().width()), 18);

    navigator_ = new Navigator(
        f.shpZoomArea, f.imgHSC,
        [this](double u, double v) {
            runHandler([u, v](form::Ctx& c) { view::navigateTo(c, u, v); });
        },
        thumbnailArea);
    navigator_->setObjectName("shpZoomArea");
    navigator_->setGeometry(thumbnailArea->rect());
    navigator_->raise();
    onSync([this] { navigator_->sync(); });

    // A picture of another shape changes the thumbnail's height, and so the column's layout.
    onSync([this, height = -1]() mutable {
        const int h = frm_.imgHSC.Height > 0 ? twipsToPx(frm_.imgHSC.Height) : kThumbnailSide;
        if (h == height) return;
        height = h;
        layoutColumn();
    });
}

void MainWindow::buildStarInfo(QWidget* page) {
    auto& f = frm_;
    auto* panel = makePanel(page, "fraStarInfo", f.fraStarInfo, kStarInfoGeometry);
    // On a low window the column scrolls the panel into view when it shows another result.
    onSync([this, panel] {
        const int32_t shown = frm_.fraStarInfo.Visible ? ws_.SelStarNo : 0;
        if (shown != 0 && shown != starInfoShown_) column_->ensureWidgetVisible(panel, 0, 4);
        starInfoShown_ = shown;
    });
    // Pairs side by side, the words of the attribute and edit state at the bottom, where the
    // open edit frame leaves them in view.
    static constexpr int kLeft[7] = {0, 3, 8, 4, 5, 7, 12};
    static constexpr int kRight[7] = {1, 2, 10, 9, 6, 11, 13};
    for (int row = 0; row < 7; ++row) {
        const int y = 4 + kRowH * row;
        for (int side = 0; side < 2; ++side) {
            const int k = side == 0 ? kLeft[row] : kRight[row];
            const int x = side == 0 ? 4 : 148;
            makeLabel(panel, indexed("lblStarInfo", k), f.lblStarInfo[k], QRect(x, y, 58, kRowH));
            makeLabel(panel, indexed("lblStarInfoData", k), f.lblStarInfoData[k],
                      QRect(x + 58, y, 78, kRowH), Qt::AlignRight);
        }
    }
    // One row below the pairs: flux, FWHM and SNR on the picture's own samples.
    // A gap of 6 px keeps a caption clear of the number before it.
    static constexpr int kMeasX[3] = {4, 90, 166}, kMeasCaption[3] = {26, 34, 24},
                         kMeasValue[3] = {54, 34, 40};
    for (int k = 0; k < 3; ++k) {
        const int x = kMeasX[k], y = 4 + 7 * kRowH + 2;
        makeLabel(panel, indexed("lblStarMeas", k), f.lblStarMeas[k],
                  QRect(x, y, kMeasCaption[k], kRowH));
        makeLabel(panel, indexed("lblStarMeasData", k), f.lblStarMeasData[k],
                  QRect(x + kMeasCaption[k], y, kMeasValue[k], kRowH), Qt::AlignRight);
    }
    makeButton(panel, "cmdEdit", f.cmdEdit, QRect(232, 4 + 7 * kRowH + 4, 56, kButtonH),
               edit::cmdEdit_Click);

    // The edit frame, placed by the model (layout units) over the panel's upper rows.
    auto* frame = makePanel(panel, "fraEdit", f.fraEdit, QRect(0, 0, 288, 60));
    frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    frame->setAutoFillBackground(true);
    onSync([frame, &m = f.fraEdit] {
        const QPoint at(twipsToPx(m.Left), twipsToPx(m.Top));
        if (frame->pos() != at) frame->move(at);
    });
    // 削除 and 復活 take turns at one place, as do ノイズ解除 and 再ノイズ.
    const struct {
        form::CommandButton& button;
        const char* name;
        QRect geometry;
        MainWindow::Handler onClick;
    } buttons[5] = {
        {f.cmdEditDelete, "cmdEditDelete", QRect(4, 4, 60, kButtonH), edit::cmdEditDelete_Click},
        {f.cmdEditUnDelete, "cmdEditUnDelete", QRect(4, 4, 60, kButtonH),
         edit::cmdEditUnDelete_Click},
        {f.cmdEditUnNoize[0], "cmdEditUnNoize(0)", QRect(82, 4, 80, kButtonH),
         [](form::Ctx& c) { edit::cmdEditUnNoize_Click(c, 0); }},
        {f.cmdEditUnNoize[1], "cmdEditUnNoize(1)", QRect(82, 4, 80, kButtonH),
         [](form::Ctx& c) { edit::cmdEditUnNoize_Click(c, 1); }},
        {f.cmdEditClose, "cmdEditClose", QRect(232, 4, 52, kButtonH), edit::cmdEditClose_Click},
    };
    for (const auto& b : buttons) makeButton(frame, b.name, b.button, b.geometry, b.onClick);
    const struct {
        form::Shape& shape;
        const char* name;
        QRect geometry;
    } markers[3] = {{f.shpEditDelete, "shpEditDelete", QRect(67, 10, 10, 10)},
                    {f.shpEditUnNoize[0], "shpEditUnNoize(0)", QRect(165, 10, 10, 10)},
                    {f.shpEditUnNoize[1], "shpEditUnNoize(1)", QRect(165, 10, 10, 10)}};
    for (const auto& m : markers) {
        auto* marker = new ShapeMarker(m.shape, frame);
        marker->setObjectName(m.name);
        marker->setGeometry(m.geometry);
        bind([marker] { marker->sync(); });
    }
    auto* note = new QLineEdit(frame);
    note->setObjectName("txtStarNote");
    note->setGeometry(4, 32, 280, kButtonH);
    note->setPlaceholderText("メモ");
    bind([note, &m = f.txtStarNote] { apply(note, m); });
    connect(note, &QLineEdit::textEdited, this, [this](const QString& text) {
        frm_.txtStarNote.Text = text.toStdString();
        runHandler(edit::txtStarNote_Change);
    });
}

void MainWindow::layoutColumn() {
    if (!column_ || !navigation_ || !thumbnail_ || !navigator_) return;
    const int height = centralWidget()->height();
    int bottom = 0;
    for (const QWidget* child : columnContent_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        bottom = std::max(bottom, child->geometry().bottom() + 1);
    const QSize content(kColumnWidth, bottom + 6);
    if (columnContent_->size() != content) columnContent_->resize(content);

    // The navigation panel keeps its place at the foot: the thumbnail at full size where the
    // controls above leave room for it, else smaller, down to half; the controls scroll.
    const int thumbnail = std::clamp(
        frm_.imgHSC.Height > 0 ? twipsToPx(frm_.imgHSC.Height) : kThumbnailSide, 1, kThumbnailSide);
    const int spare = height - content.height() - kNavigationButtons - kColumnGap;
    const double scale =
        std::clamp(static_cast<double>(spare) / thumbnail, kMinThumbnailScale, 1.0);
    const int areaSide = static_cast<int>(std::lround(kThumbnailSide * scale));
    const int areaHeight = static_cast<int>(std::lround(thumbnail * scale));
    const int navigationHeight = kNavigationButtons + areaHeight;
    const QRect nav(10, std::max(0, height - navigationHeight - 2), kThumbnailSide,
                    navigationHeight);
    if (navigation_->geometry() != nav) navigation_->setGeometry(nav);
    const QRect area((kThumbnailSide - areaSide) / 2, kNavigationButtons, areaSide, areaHeight);
    if (thumbnailArea_->geometry() != area) {
        thumbnailArea_->setGeometry(area);
        navigator_->setGeometry(thumbnailArea_->rect());
    }
    thumbnail_->setScale(scale);
    navigator_->setScale(scale);
    const QRect g(0, 0, kColumnWidth, std::max(0, nav.top() - kColumnGap / 2));
    if (column_->geometry() != g) column_->setGeometry(g);
}

}  // namespace orv::window
