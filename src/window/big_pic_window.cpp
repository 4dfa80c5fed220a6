#include "window/big_pic_window.h"

// The widgets of the division window and where they stand (pixels):
//
//   x 10          250  260                 680  690                         1310
//   [元画像読込][clipboard] +-------------------+ +---------------------------+
//   name, size           | preview 420 x 420 | | the tile at full          |
//   分割サイズ, マージン   | with the grid and | | resolution (scrolls when  |
//   分割数                | the tile squares  | | larger than the view)     |
//       [↑]                +-------------------+ |                           |
//   [←][◎][→]  X, Y     message line (lblMsg)   |                           |
//       [↓]                                       |                           |
//   分割エリア, 分割画像名                          |                           |
//   [保存先指定] [分割画像出力] [全分割画像出力]      |                           |
//   output-folder panel, progress                 +---------------------------+

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QTimer>

#include "form/window_place.h"
#include "window/bindings.h"
#include "window/main_window.h"
#include "window/widgets.h"

namespace orv::window {

namespace {

QImage wrap(const form::Picture& p) {
    if (p.empty()) return {};
    return QImage(
        p.bits, p.width, p.height, static_cast<qsizetype>(p.stride),
        p.layout == form::PixelLayout::Rgb888 ? QImage::Format_RGB888 : QImage::Format_RGB32);
}

void drawShape(QPainter& p, const form::Shape& s) {
    if (!s.Visible) return;
    p.setPen(QPen(QColor::fromRgb(s.BorderColor), 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(s.Left, s.Top, s.Width, s.Height));
}

constexpr int kPreviewLeft = 260, kTileLeft = 690, kTop = 10;
constexpr int kTileView = 620;
constexpr int kButtonH = 26, kRowH = 22;
// The grid is drawn only where its cells are at least this many preview pixels.
constexpr double kMinGridCell = 8;

}  // namespace

PreviewView::PreviewView(const form::FrmBigPic& frm, std::function<void(QPointF)> onClick,
                         QWidget* parent)
    : QWidget(parent), frm_(frm), onClick_(std::move(onClick)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::PointingHandCursor);
}

void PreviewView::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && onClick_) onClick_(event->position());
}

PreviewView::Shown PreviewView::current() const {
    const auto& g = frm_.previewGrid;
    const auto& o = frm_.shpArea;
    const auto& i = frm_.shpArea2;
    return Shown{frm_.previewPicture.bits,
                 g.Visible,
                 g.CellWidth + g.CellHeight,
                 g.Left,
                 g.Top,
                 g.Columns,
                 g.Rows,
                 {o.Left, o.Top, o.Width, o.Height},
                 {i.Left, i.Top, i.Width, i.Height},
                 o.Visible && i.Visible};
}

void PreviewView::sync() {
    const auto& img = frm_.imgBigPic;
    applyControl(this, img);
    applyGeometry(this, img);
    if (const Shown now = current(); !(now == shown_)) {
        shown_ = now;
        update();
    }
}

void PreviewView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QImage image = wrap(frm_.previewPicture);
    if (image.isNull()) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(0, 0, width(), height()), image);
    const auto& g = frm_.previewGrid;
    if (g.Visible && g.CellWidth >= kMinGridCell && g.CellHeight >= kMinGridCell) {
        p.setPen(QPen(QColor(0, 200, 255, 90), 0));
        const double right = g.Left + g.Columns * g.CellWidth;
        const double bottom = g.Top + g.Rows * g.CellHeight;
        for (int k = 0; k <= g.Columns; ++k)
            p.drawLine(QPointF(g.Left + k * g.CellWidth, g.Top),
                       QPointF(g.Left + k * g.CellWidth, bottom));
        for (int k = 0; k <= g.Rows; ++k)
            p.drawLine(QPointF(g.Left, g.Top + k * g.CellHeight),
                       QPointF(right, g.Top + k * g.CellHeight));
    }
    drawShape(p, frm_.shpArea);
    drawShape(p, frm_.shpArea2);
}

TileView::TileView(const form::FrmBigPic& frm, std::function<void()> onClick, QWidget* parent)
    : QWidget(parent), frm_(frm), onClick_(std::move(onClick)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TileView::sync() {
    const auto& pic = frm_.picDivPic;
    applyControl(this, pic);
    const QSize size(static_cast<int>(pic.Width), static_cast<int>(pic.Height));
    if (this->size() != size) resize(size);
    if (shownBits_ != pic.picture.bits) {
        shownBits_ = pic.picture.bits;
        update();
    }
}

void TileView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QImage image = wrap(frm_.picDivPic.picture);
    if (image.isNull()) {
        p.fillRect(event->rect(), Qt::black);
        return;
    }
    p.drawImage(event->rect(), image, event->rect());
    drawShape(p, frm_.shpArea3);
}

void TileView::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && onClick_) onClick_();
}

BigPicWindow::BigPicWindow(MainWindow& main)
    : QWidget(&main, Qt::Window), main_(main), frm_(main.bigPicForm()) {
    setObjectName("frmBigPic");
    QFont font("IPAGothic");
    font.setPointSizeF(9);
    setFont(font);
    resize(kFullWidth, kFullHeight);

    for (int i = 0; i < 2; ++i)
        makeButton(this, QString("cmdBigPic(%1)").arg(i), frm_.cmdBigPic[i],
                   QRect(10 + 120 * i, kTop, 115, kButtonH),
                   [i](tiles::BigPicCtx& c) { tiles::cmdBigPic_Click(c, i); });
    auto* name = makeLabel(this, "lblBigPicName", frm_.lblBigPicName, QRect(10, 44, 235, 20));
    name->setFrameShape(QFrame::StyledPanel);

    // Captions and values, one row each.
    makeLabel(this, "lblCaption(0)", frm_.lblCaption[0], QRect(10, 68, 80, kRowH));
    makeLabel(this, "lblImageSize2", frm_.lblImageSize2, QRect(95, 68, 150, kRowH));
    makeLabel(this, "lblCaption(1)", frm_.lblCaption[1], QRect(10, 94, 80, kRowH));
    makeBox("txtDivSize", frm_.txtDivSize, QRect(95, 94, 70, kRowH), tiles::txtDivSize_Change);
    makeLabel(this, "lblCaption(2)", frm_.lblCaption[2], QRect(10, 120, 80, kRowH));
    makeBox("txtDivMargin", frm_.txtDivMargin, QRect(95, 120, 70, kRowH),
            tiles::txtDivMargin_Change);
    makeLabel(this, "lblCaption(3)", frm_.lblCaption[3], QRect(10, 146, 80, kRowH));
    makeLabel(this, "lblDivNo", frm_.lblDivNo, QRect(95, 146, 150, kRowH));

    // The arrows as a cross, "◎" in the middle; the indices beside them.
    const QRect arrows[5] = {QRect(50, 206, 40, 28), QRect(140, 206, 40, 28),
                             QRect(95, 176, 40, 28), QRect(95, 236, 40, 28),
                             QRect(95, 206, 40, 28)};
    for (int i = 0; i < 5; ++i) {
        auto* b = makeButton(this, QString("cmdDiv(%1)").arg(i), frm_.cmdDiv[i], arrows[i],
                             [i](tiles::BigPicCtx& c) { tiles::cmdDiv_Click(c, i); });
        b->setAutoDefault(false);
    }
    for (int k = 0; k < 2; ++k) {
        auto* axis = new QLabel(k == 0 ? "X" : "Y", this);
        axis->setGeometry(192, 196 + 22 * k, 14, 20);
    }
    makeLabel(this, "lblDivX", frm_.lblDivX, QRect(208, 196, 40, 20));
    makeLabel(this, "lblDivY", frm_.lblDivY, QRect(208, 218, 40, 20));

    makeLabel(this, "lblCaption(4)", frm_.lblCaption[4], QRect(10, 272, 80, kRowH));
    makeLabel(this, "lblDivArea", frm_.lblDivArea, QRect(10, 292, 235, kRowH));
    makeLabel(this, "lblCaption(5)", frm_.lblCaption[5], QRect(10, 318, 80, kRowH));
    makeLabel(this, "lblDivId", frm_.lblDivId, QRect(10, 338, 235, kRowH));

    const struct {
        const char* name;
        const form::CommandButton& model;
        void (*onClick)(tiles::BigPicCtx&);
    } saving[3] = {{"cmdDirSet", frm_.cmdDirSet, tiles::cmdDirSet_Click},
                   {"cmdSaveFile", frm_.cmdSaveFile, tiles::cmdSaveFile_Click},
                   {"cmdSaveAllFile", frm_.cmdSaveAllFile, tiles::cmdSaveAllFile_Click}};
    for (int k = 0; k < 3; ++k)
        makeButton(this, saving[k].name, saving[k].model, QRect(10, 364 + 28 * k, 235, kButtonH),
                   saving[k].onClick);

    // The output-folder panel: a folder chooser stands in for the drive and folder lists.
    auto* panel = new QFrame(this);
    panel->setObjectName("fraDir");
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    panel->setGeometry(10, 450, 235, 112);
    bind([panel, this] { applyControl(panel, frm_.fraDir); });
    makeLabel(panel, "lblDirBach", frm_.lblDirBach, QRect(6, 4, 223, 18));
    auto* path = new QLabel(panel);
    path->setObjectName("dirBach");
    path->setGeometry(6, 24, 223, 44);
    path->setWordWrap(true);
    path->setFrameShape(QFrame::StyledPanel);
    path->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    bind([path, this] {
        const QString p = qs(frm_.dirBach.Path);
        if (path->text() != p) path->setText(p);
    });
    makeButton(panel, "cmdDirBrowse", frm_.cmdDirBrowse, QRect(6, 74, 110, kButtonH),
               tiles::cmdDirBrowse_Click);
    makeButton(panel, "cmdClose", frm_.cmdClose, QRect(120, 74, 109, kButtonH),
               tiles::cmdClose_Click);

    auto* bar = new QProgressBar(this);
    bar->setObjectName("barBigPic");
    bar->setRange(0, 100);
    bar->setGeometry(10, 568, 235, 18);
    bind([bar, this] { apply(bar, frm_.barBigPic); });

    // The preview box, dark where the preview does not fill it.
    auto* box = new QWidget(this);
    box->setObjectName("previewBox");
    const int boxSide = static_cast<int>(form::FrmBigPic::kPreviewBox);
    box->setGeometry(kPreviewLeft, kTop, boxSide, boxSide);
    box->setAutoFillBackground(true);
    QPalette dark = box->palette();
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    box->setPalette(dark);
    // A click on the preview picks the tile there.
    preview_ = new PreviewView(
        frm_,
        [this](QPointF at) {
            run([at](tiles::BigPicCtx& c) { tiles::imgBigPic_Click(c, at.x(), at.y()); });
        },
        box);
    preview_->setObjectName("imgBigPic");
    bind([this] { preview_->sync(); });
    auto* line = makeLabel(this, "lblMsg", frm_.lblMsg,
                           QRect(kPreviewLeft, kTop + boxSide + 10, boxSide, 60));
    line->setWordWrap(true);
    line->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    tileArea_ = new QScrollArea(this);
    tileArea_->setObjectName("picDivPicArea");
    tileArea_->setGeometry(kTileLeft, kTop, kTileView, kTileView);
    tileArea_->setFocusPolicy(Qt::NoFocus);
    tileArea_->setBackgroundRole(QPalette::Dark);
    tile_ = new TileView(
        frm_, [this] { run(tiles::picDivPic_Click); }, nullptr);
    tile_->setObjectName("picDivPic");
    tileArea_->setWidget(tile_);
    bind([this] { tile_->sync(); });

    // The arrow keys anywhere in the window move the tile; a text box keeps its own.
    const struct {
        Qt::Key key;
        int code;
    } keys[4] = {{Qt::Key_Left, 37}, {Qt::Key_Up, 38}, {Qt::Key_Right, 39}, {Qt::Key_Down, 40}};
    for (const auto& k : keys) {
        auto* shortcut = new QShortcut(QKeySequence(k.key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, code = k.code] {
            run([code](auto& c) { tiles::BigPic_KeyDown(c, code); });
        });
    }
    bind([this] {
        const QString caption = qs(frm_.Caption);
        if (windowTitle() != caption) setWindowTitle(caption);
    });
}

void BigPicWindow::syncFromModel() {
    for (auto& sync : syncers_) sync();
}

void BigPicWindow::run(const Handler& handler) {
    const bool active = isActiveWindow();
    main_.runHandler([&handler](form::Ctx& ctx) {
        tiles::BigPicCtx c{ctx.ws, *ctx.bigPic, ctx.host};
        handler(c);
    });
    // A message box of the handler may have handed the activation to the main window: the
    // window the user works in stays in front.
    if (active && isVisible() && !isActiveWindow()) {
        raise();
        activateWindow();
    }
}

void BigPicWindow::showAtPlace() {
    move(static_cast<int>(frm_.Left), static_cast<int>(frm_.Top));
    const QScreen* s =
        QGuiApplication::screenAt(QPoint(static_cast<int>(frm_.Left), static_cast<int>(frm_.Top)));
    if (!s) s = QGuiApplication::primaryScreen();
    // The frame is known once the window is shown; until then it is taken as none.
    const QSize frame = isVisible() ? frameGeometry().size() - size() : QSize();
    if (s) {
        const QRect a = s->availableGeometry();
        const form::WindowPlace fit = form::shrinkOnScreen(
            {static_cast<int>(frm_.Left), static_cast<int>(frm_.Top), kFullWidth, kFullHeight},
            {a.x(), a.y(), a.width(), a.height()}, frame.width(), frame.height(), kMinWidth,
            kMinHeight);
        resize(fit.width, fit.height);
        move(fit.left, fit.top);
    }
    showNormal();
    raise();
    activateWindow();
}

void BigPicWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The frame is known now: fit once more with it.
    if (!placedWithFrame_) {
        placedWithFrame_ = true;
        QTimer::singleShot(0, this, [this] {
            if (isVisible()) showAtPlace();
        });
    }
}

void BigPicWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The tile view takes what the window leaves right of the preview, and scrolls.
    if (tileArea_)
        tileArea_->setGeometry(kTileLeft, kTop, std::max(120, width() - kTileLeft - 10),
                               std::max(120, std::min(kTileView, height() - 2 * kTop)));
}

void BigPicWindow::closeEvent(QCloseEvent* event) {
    // The window keeps its state between openings: it is only hidden.
    frm_.Visible = false;
    event->accept();
}

template <typename W, typename M>
W* BigPicWindow::add(QWidget* parent, const QString& name, const M& model, const QRect& geometry) {
    auto* w = new W(parent);
    w->setObjectName(name);
    w->setGeometry(geometry);
    bind([w, &model] { apply(w, model); });
    return w;
}

QPushButton* BigPicWindow::makeButton(QWidget* parent, const QString& name,
                                      const form::CommandButton& model, const QRect& geometry,
                                      Handler onClick) {
    auto* w = add<PushButton>(parent, name, model, geometry);
    connect(w, &QPushButton::clicked, this, [this, onClick] { run(onClick); });
    return w;
}

QLabel* BigPicWindow::makeLabel(QWidget* parent, const QString& name, const form::Label& model,
                                const QRect& geometry) {
    return add<QLabel>(parent, name, model, geometry);
}

QLineEdit* BigPicWindow::makeBox(const QString& name, form::TextBox& model, const QRect& geometry,
                                 Handler onChange) {
    auto* w = add<QLineEdit>(this, name, model, geometry);
    connect(w, &QLineEdit::textEdited, this, [this, &model, onChange](const QString& text) {
        model.Text = text.toStdString();
        run(onChange);
    });
    return w;
}

}  // namespace orv::window
