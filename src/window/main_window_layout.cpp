// The widgets of the main window and where they stand. Positions are pixels. The model places
// the pages fraMain(0..2), the viewport fraPickUp, the picture layers and the thumbnail; the
// rest is laid out here. The left column scrolls when the window is lower than it.
//
//   x 10               310  320                                       width-5
//    HALVOREN Orvandel       [message line      ] progress cancel X/Y ver   status strip
//   [mode][mode][mode]        +----------------------------------------+  y 40
//   +------------------+  y 70 |                                        |
//   | fraMain(0..2)    |       | fraPickUp: picture layers 0..4         |
//   |  300 x 556       |       |   (the magnifier in a top corner)      |
//   |  ... fraStarInfo |       |                                        |
//   +------------------+       |                                        |
//   | fraView: buttons |       |                                        |
//   |  thumbnail       |       |                                        |
//   +------------------+       +----------------------------------------+

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollArea>
#include <QShortcut>

#include "catalogue/export_results.h"
#include "control/batch.h"
#include "control/pipeline.h"
#include "control/user_actions.h"
#include "core/settings.h"
#include "extract/analysis.h"
#include "extract/outline_fill.h"
#include "form/class_colours.h"
#include "form/message_log.h"
#include "form/settings_boxes.h"
#include "input/background.h"
#include "input/clusters.h"
#include "input/image_load.h"
#include "psf/mode_switch.h"
#include "results/data_files.h"
#include "tiles/big_pic.h"
#include "view/overlay.h"
#include "view/view_switch.h"
#include "window/bindings.h"
#include "window/main_window.h"
#include "window/picture_layer.h"
#include "window/widgets.h"

namespace orv::window {

namespace {

QString indexed(const char* name, int index) {
    return QString("%1(%2)").arg(name).arg(index);
}

// Result class colours (legend swatches).
constexpr form::Rgb kNoise = form::kColourNoise, kArea = form::kColourArea,
                    kCircular = form::kColourCircular, kElongated = form::kColourElongated,
                    kReleased = form::kColourNoiseReleased, kDeleted = form::kColourDeleted,
                    kAdded = form::kColourAdded;

constexpr int kSwatch = 9;
constexpr int kRowH = 16;     // a check box, option or label row
constexpr int kButtonH = 22;  // a push button or text box
constexpr int kTitleH = 14;   // room for a frame's caption

// Where the status strip starts: the viewport's left edge.
constexpr int kStatusLeft = 320;

}  // namespace

PushButton* MainWindow::makeButton(QWidget* parent, const QString& name,
                                   const form::CommandButton& model, const QRect& geometry,
                                   Handler onClick) {
    auto* w = new PushButton(parent);
    w->setObjectName(name);
    w->setGeometry(geometry);
    bind([w, &model] { apply(w, model); });
    if (onClick) connect(w, &QPushButton::clicked, this, [this, onClick] { runHandler(onClick); });
    return w;
}

QLabel* MainWindow::makeLabel(QWidget* parent, const QString& name, const form::Label& model,
                              const QRect& geometry, Qt::Alignment align) {
    auto* w = new QLabel(parent);
    w->setObjectName(name);
    w->setGeometry(geometry);
    w->setAlignment(align | Qt::AlignVCenter);
    bind([w, &model] { apply(w, model); });
    return w;
}

QGroupBox* MainWindow::makeFrame(QWidget* parent, const QString& name, const form::Frame& model,
                                 const QRect& geometry) {
    auto* w = new QGroupBox(parent);
    w->setObjectName(name);
    w->setGeometry(geometry);
    bind([w, &model] { apply(w, model); });
    return w;
}

QFrame* MainWindow::makePanel(QWidget* parent, const QString& name, const form::Frame& model,
                              const QRect& geometry) {
    auto* w = new QFrame(parent);
    w->setObjectName(name);
    w->setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    w->setGeometry(geometry);
    bind([w, &model] { applyControl(w, model); });
    return w;
}

QCheckBox* MainWindow::makeCheck(QWidget* parent, const QString& name, form::CheckBox& model,
                                 const QRect& geometry, Handler onClick) {
    auto* w = new QCheckBox(parent);
    w->setObjectName(name);
    w->setGeometry(geometry);
    bind([w, &model] { apply(w, model); });
    connect(w, &QCheckBox::clicked, this, [this, &model, onClick](bool checked) {
        model.Value = checked ? 1 : 0;
        runHandler(onClick ? onClick : Handler([](form::Ctx&) {}));
    });
    return w;
}

void MainWindow::makeOptions(QWidget* parent, const char* name,
                             std::span<form::OptionButton> models,
                             std::span<const QRect> geometries,
                             std::function<void(form::Ctx&, int)> onSelect) {
    auto* group = new QButtonGroup(parent);
    std::vector<QRadioButton*> buttons(models.size());
    for (size_t i = 0; i < models.size(); ++i) {
        buttons[i] = new QRadioButton(parent);
        buttons[i]->setObjectName(indexed(name, static_cast<int>(i)));
        buttons[i]->setGeometry(geometries[i]);
        group->addButton(buttons[i], static_cast<int>(i));
    }
    bind([group, buttons, models] { applyOptions(group, buttons, models); });
    connect(group, &QButtonGroup::idClicked, this, [this, models, onSelect](int index) {
        for (size_t i = 0; i < models.size(); ++i) models[i].Value = static_cast<int>(i) == index;
        runHandler([&](form::Ctx& ctx) {
            if (onSelect) onSelect(ctx, index);
        });
    });
}

SettingsBox* MainWindow::makeBox(QWidget* parent, const QString& name, form::TextBox& model,
                                 const QRect& geometry, Handler lostFocus) {
    auto* w = new SettingsBox(parent);
    w->setObjectName(name);
    w->setGeometry(geometry);
    bind([w, &model] { apply(w, model); });
    // The model always holds what the box shows, so a sync never undoes typing.
    connect(w, &QLineEdit::textEdited, this,
            [&model](const QString& text) { model.Text = text.toStdString(); });
    if (lostFocus)
        connect(w, &SettingsBox::committed, this, [this, lostFocus] { runHandler(lostFocus); });
    return w;
}

void MainWindow::buildWindow() {
    QFont font("IPAGothic");
    font.setPointSizeF(9);
    setFont(font);
    // Frames as on the classic desktop, the caption in the border line: this saves the height
    // the default style spends above every frame. Indicators stay close to their own text.
    setStyleSheet(
        "QGroupBox { border: 1px solid #a0a0a0; border-radius: 2px; margin-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"
        "QRadioButton, QCheckBox { spacing: 3px; }");

    auto* client = new QWidget(this);
    client->setObjectName("client");
    setCentralWidget(client);
    // The left column scrolls when the window is lower than it; its content keeps the
    // client's coordinates.
    column_ = new QScrollArea(client);
    column_->setObjectName("column");
    column_->setFrameShape(QFrame::NoFrame);
    column_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    column_->setStyleSheet("QScrollBar:vertical { width: 9px; }");
    columnContent_ = new QWidget;
    columnContent_->setObjectName("columnContent");
    column_->setWidget(columnContent_);
    QWidget* left = columnContent_;

    auto* title = new ClickLabel(left);
    title->setObjectName("Label1(0)");
    title->setGeometry(10, 6, 300, 28);
    QFont titleFont = font;
    titleFont.setPointSizeF(13);
    titleFont.setBold(true);
    title->setFont(titleFont);
    bind([title, this] { apply(title, frm_.Label1[0]); });
    connect(title, &ClickLabel::doubleClicked, this,
            [this] { runHandler([](form::Ctx& ctx) { form::Label1_DblClick(ctx, 0); }); });

    for (int i = 0; i < 3; ++i)
        makeButton(left, indexed("cmdMain", i), frm_.cmdMain[i], QRect(10 + 100 * i, 40, 98, 26),
                   [i](form::Ctx& ctx) { psf::cmdMain_Click(ctx, i); });

    // The pages lie on top of each other; a later one covers the detection page.
    std::array<QFrame*, 3> pages{};
    for (int i = 0; i < 3; ++i) {
        pages[i] = makePanel(left, indexed("fraMain", i), frm_.fraMain[i], QRect());
        pages[i]->setAutoFillBackground(true);
        onSync([w = pages[i], &m = frm_.fraMain[i]] { applyGeometry(w, m); });
    }
    buildDetectionPage(pages[0]);
    buildStarInfo(pages[0]);
    buildPsfPage(pages[1]);
    buildNavigation(client);
    buildViewport(client);
    buildStatus(client);

    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    esc->setContext(Qt::WindowShortcut);
    connect(esc, &QShortcut::activated, this, [this] {
        if (running() && frm_.cmdCancel.Visible && frm_.cmdCancel.Enabled)
            runHandler(control::cmdCancel_Click);
    });
}

// fraMain(0), 300 x 412: the numbered buttons and the sources across the top, then two
// columns of frames: channel and settings on the left (fra1, fra2), results and views on the
// right (fra3 .. fra6).
void MainWindow::buildDetectionPage(QWidget* page) {
    auto& f = frm_;
    makeButton(page, "cmdShowBigPic", f.cmdShowBigPic, QRect(4, 4, 144, kButtonH),
               [this](form::Ctx& ctx) {
                   tiles::cmdShowBigPic_Click(ctx);
                   showBigPicWindow();
               });
    makeButton(page, "cmdBachDo", f.cmdBachDo, QRect(152, 4, 144, kButtonH), control::onBachDo);
    makeButton(page, "cmdReadData", f.cmdReadData, QRect(4, 27, 144, kButtonH),
               control::onReadData);
    makeLabel(page, "lblBachProgress", f.lblBachProgress, QRect(152, 27, 70, kButtonH),
              Qt::AlignHCenter);
    makeButton(page, "cmdExport", f.cmdExport, QRect(226, 27, 70, kButtonH),
               catalogue::cmdExport_Click);

    // Sources in the order the user reaches for them: file, clipboard, tile.
    const struct {
        int index;
        QRect geometry;
    } sources[] = {{1, QRect(4, 50, 70, kButtonH)},
                   {0, QRect(78, 50, 70, kButtonH)},
                   {2, QRect(152, 50, 144, kButtonH)}};
    for (const auto& s : sources)
        makeButton(page, indexed("cmdDataIn", s.index), f.cmdDataIn[s.index], s.geometry,
                   [i = s.index](form::Ctx& ctx) { control::onDataIn(ctx, i); });

    auto* doAll = makeButton(page, "cmdDoAll", f.cmdDoAll, QRect(4, 73, 144, kButtonH + 2),
                             [](form::Ctx& ctx) { control::onStep(ctx, control::Step::All); });
    QFont bold = doAll->font();
    bold.setBold(true);
    doAll->setFont(bold);
    makeButton(page, "cmdEditLog", f.cmdEditLog, QRect(152, 74, 70, kButtonH),
               form::cmdEditLog_Click);
    makeButton(page, "cmdShowLog", f.cmdShowLog, QRect(226, 74, 70, kButtonH),
               form::cmdShowLog_Click);

    // Left column, x 4..124.
    auto* fra1 = makeFrame(page, "fra1", f.fra1, QRect(4, 101, 120, 66));
    QRect channelGeometry[4];
    for (int i = 0; i < 4; ++i) channelGeometry[i] = QRect(4 + 28 * i, kTitleH, 26, kRowH);
    makeOptions(fra1, "optChannel", f.optChannel, channelGeometry, nullptr);
    makeLabel(fra1, "lblImageSize", f.lblImageSize, QRect(4, kTitleH + kRowH, 78, kRowH));
    makeLabel(fra1, "lblMaxY", f.lblMaxY, QRect(82, kTitleH + kRowH, 32, kRowH), Qt::AlignRight);
    // A long file name is shortened in its middle (the extension stays); the tooltip has it all.
    auto* divId = new ElidedLabel(Qt::ElideMiddle, fra1);
    divId->setObjectName("lblDivId");
    divId->setGeometry(4, kTitleH + 2 * kRowH, 112, kRowH);
    bind([divId, &m = f.lblDivId] { apply(divId, m); });

    // Under the threshold row, a row of small type for the noise and the suggested threshold.
    // The rows are 19 px apart (nine boxes of 19 px, the detection filter's last).
    constexpr int kSuggestH = 12, kPitch = 19;
    auto* fra2 = makeFrame(page, "fra2", f.fra2, QRect(4, 170, 120, 229 + kSuggestH));
    const struct {
        form::TextBox& box;
        const char* name;
        void (*lostFocus)(form::Ctx&);
    } settings[9] = {
        {f.txtHeikinWidth, "txtHeikinWidth", form::txtHeikinWidth_LostFocus},
        {f.txtSiki, "txtSiki", form::txtSiki_LostFocus},
        {f.txtSikiTop, "txtSikiTop", form::txtSikiTop_LostFocus},
        {f.txtNumPixel, "txtNumPixel", form::txtNumPixel_LostFocus},
        {f.txtNumPixel2, "txtNumPixel2", form::txtNumPixel2_LostFocus},
        {f.txtSinendo, "txtSinendo", form::txtSinendo_LostFocus},
        {f.txtSinendoMax, "txtSinendoMax", form::txtSinendoMax_LostFocus},
        {f.txtMargin, "txtMargin", form::txtMargin_LostFocus},
        {f.txtFilterSigma, "txtFilterSigma", form::txtFilterSigma_LostFocus},
    };
    for (int i = 0; i < 9; ++i) {
        const int y = kTitleH + 2 + kPitch * i + (i >= 2 ? kSuggestH : 0);
        auto* caption = new ClickLabel(fra2);
        caption->setObjectName(indexed("Label1", i + 1));
        caption->setGeometry(4, y, 72, kPitch);
        bind([caption, &m = f.Label1[i + 1]] { apply(caption, m); });
        connect(caption, &ClickLabel::doubleClicked, this, [this, i] {
            runHandler([i](form::Ctx& ctx) { form::Label1_DblClick(ctx, i + 1); });
        });
        makeBox(fra2, settings[i].name, settings[i].box, QRect(78, y, 38, kPitch),
                settings[i].lostFocus);
    }
    auto* suggest =
        makeLabel(fra2, "lblSikiSuggest", f.lblSikiSuggest,
                  QRect(4, kTitleH + 2 + kPitch * 2 - 1, 112, kSuggestH), Qt::AlignRight);
    QFont small = suggest->font();
    small.setPointSizeF(7.5);
    suggest->setFont(small);
    const int below = kTitleH + 2 + kPitch * 9 + kSuggestH;
    makeCheck(fra2, "chkHyotan", f.chkHyotan, QRect(4, below + 1, 112, kRowH), nullptr);
    makeButton(fra2, "cmdSaveSettingData", f.cmdSaveSettingData,
               QRect(4, below + 18, 112, kButtonH), form::cmdSaveSettingData_Click);

    // Right column, x 128..296.
    auto* fra3 = makeFrame(page, "fra3", f.fra3, QRect(128, 101, 168, 81));
    const struct {
        const form::Label& value;
        const char* name;
        form::Rgb colour;  // 0: no swatch
    } counts[8] = {
        {f.lblStarNo, "lblStarNo", 0},
        {f.lblStarAtr[0], "lblStarAtr(0)", kNoise},
        {f.lblStarAtr[1], "lblStarAtr(1)", kArea},
        {f.lblStarAtr[2], "lblStarAtr(2)", kCircular},
        {f.lblStarAtr[3], "lblStarAtr(3)", kElongated},
        {f.lblStarAtr[4], "lblStarAtr(4)", kReleased},
        {f.lblStarAtr1[0], "lblStarAtr1(0)", kDeleted},
        {f.lblStarAtr1[1], "lblStarAtr1(1)", kAdded},
    };
    // Each column: swatch, caption as wide as its widest, a count as wide as "50000".
    const QFontMetrics metrics(fra3->font());
    const int countW = metrics.horizontalAdvance("50000") + 2;
    int captionW[2] = {0, 0};
    for (int i = 0; i < 8; ++i)
        captionW[i / 4] =
            std::max(captionW[i / 4], metrics.horizontalAdvance(qs(f.lblStarCaption[i].Caption)));
    const int columnX[2] = {4, 4 + 11 + captionW[0] + 3 + countW + 4};
    for (int i = 0; i < 8; ++i) {
        const int c = i / 4, x = columnX[c], y = kTitleH + kRowH * (i % 4);
        if (counts[i].colour != 0) {
            auto* swatch = new Swatch(counts[i].colour, fra3);
            swatch->setGeometry(x, y + (kRowH - kSwatch) / 2, kSwatch, kSwatch);
        }
        makeLabel(fra3, indexed("lblStarCaption", i), f.lblStarCaption[i],
                  QRect(x + 11, y, captionW[c] + 1, kRowH));
        makeLabel(fra3, counts[i].name, counts[i].value,
                  QRect(x + 11 + captionW[c] + 3, y, countW, kRowH), Qt::AlignRight);
    }

    // Display options with the colours of what they govern.
    auto* fra4 = makeFrame(page, "fra4", f.fra4, QRect(128, 184, 168, 97));
    const std::vector<form::Rgb> legend[5] = {
        {kNoise}, {kArea, kCircular, kElongated}, {kDeleted}, {kAdded}, {}};
    for (int i = 0; i < 5; ++i) {
        const int y = kTitleH + kRowH * i;
        auto* check =
            makeCheck(fra4, indexed("chkDisp", i), f.chkDisp[i], QRect(4, y, 92, kRowH), nullptr);
        check->resize(check->sizeHint().width(), kRowH);
        int x = 4 + check->width() + 2;
        for (form::Rgb c : legend[i]) {
            auto* swatch = new Swatch(c, fra4);
            swatch->setGeometry(x, y + (kRowH - kSwatch) / 2, kSwatch, kSwatch);
            x += kSwatch + 2;
        }
    }
    makeButton(fra4, "cmdReDisp", f.cmdReDisp, QRect(108, kTitleH, 56, kButtonH + 4),
               view::cmdReDisp_Click);
    // Beside the lower options: the results table and the setting for clicks on results read
    // back.
    makeButton(fra4, "cmdResultList", f.cmdResultList,
               QRect(96, kTitleH + 2 * kRowH + 1, 68, kButtonH),
               [this](form::Ctx&) { showResultsWindow(); });
    makeCheck(fra4, "chkReadOutline", f.chkReadOutline, QRect(96, kTitleH + 4 * kRowH, 70, kRowH),
              [](form::Ctx& ctx) {
                  extract::setReadOutlineClick(ctx.ws, ctx.frm.chkReadOutline.Value == 1);
              });

    auto* fra5 = makeFrame(page, "fra5", f.fra5, QRect(128, 283, 168, 81));
    QRect viewGeometry[4];  // options 3..0 from top to bottom
    for (int i = 0; i < 4; ++i) viewGeometry[i] = QRect(4, kTitleH + kRowH * (3 - i), 78, kRowH);
    makeOptions(fra5, "optFrame", f.optFrame, viewGeometry,
                [](form::Ctx& ctx, int i) { view::optFrame_Click(ctx, i); });
    makeCheck(fra5, "chkCircle", f.chkCircle, QRect(86, kTitleH, 80, kRowH), view::chkCircle_Click);
    makeCheck(fra5, "chkFlicker", f.chkFlicker, QRect(86, kTitleH + kRowH, 80, kRowH),
              view::chkFlicker_Click);
    makeButton(fra5, "cmdStretch", f.cmdStretch, QRect(86, kTitleH + 2 * kRowH + 6, 78, kButtonH),
               [this](form::Ctx&) { showStretchWindow(); });

    auto* fra6 = makeFrame(page, "fra6", f.fra6, QRect(128, 366, 168, 41));
    const struct {
        form::CommandButton& button;
        const char* name;
        Handler onClick;
    } steps[4] = {
        {f.cmdIdoHeikin, "cmdIdoHeikin",
         [](form::Ctx& c) { control::onStep(c, control::Step::Background); }},
        {f.cmdPickup, "cmdPickup",
         [](form::Ctx& c) { control::onStep(c, control::Step::Clusters); }},
        {f.cmdCenterCal, "cmdCenterCal",
         [](form::Ctx& c) { control::onStep(c, control::Step::Stars); }},
        {f.cmdSaveData, "cmdSaveData", results::cmdSaveData_Click},
    };
    for (int i = 0; i < 4; ++i)
        makeButton(fra6, steps[i].name, steps[i].button, QRect(4 + 40 * i, kTitleH, 38, kButtonH),
                   steps[i].onClick);
}

// fraView at the foot of the left column (layoutColumn places it): zoom, pan and magnifier
// controls, the thumbnail of the picture.
void MainWindow::buildNavigation(QWidget* client) {
    auto* view = makePanel(client, "fraView", frm_.fraView, QRect(10, 632, 300, 332));
    navigation_ = view;
    auto* area = new QWidget(view);
    area->setObjectName("thumbnailArea");
    area->setGeometry(0, 32, 300, 300);
    thumbnailArea_ = area;
    thumbnail_ = new Thumbnail(
        frm_.imgHSC, frm_.picHSC[0], [this] { return running(); }, area);
    thumbnail_->setObjectName("imgHSC");
    onSync([this] { thumbnail_->sync(); });
    buildNavigationControls(view, area);
}

// fraPickUp: the five layers stacked in index order, so a visible higher layer covers a lower.
void MainWindow::buildViewport(QWidget* client) {
    auto* viewport = new QWidget(client);
    viewport->setObjectName("fraPickUp");
    viewport->setAutoFillBackground(true);
    QPalette pal = viewport->palette();
    pal.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    viewport->setPalette(pal);
    onSync([viewport, &m = frm_.fraPickUp] {
        applyControl(viewport, m);
        applyGeometry(viewport, m);
    });
    for (int i = 0; i < 5; ++i) {
        // The star cursors lie on the marked star picture (0) and the cluster picture (1).
        const form::Shape* cursor = i == 4   ? &frm_.shpStarCursol[0]
                                    : i == 2 ? &frm_.shpStarCursol[1]
                                             : nullptr;
        layers_[i] = new PictureLayer(
            frm_.picHSC[i], frm_.shpArea[i], cursor, i == 4 ? &frm_.editMarks : nullptr,
            [this] { return running(); }, viewport);
        layers_[i]->setObjectName(indexed("picHSC", i));
        onSync([w = layers_[i]] { w->sync(); });
    }
    wirePictureInput(viewport);
}

// The status strip above the viewport: message line, progress, Cancel, position, version.
void MainWindow::buildStatus(QWidget* client) {
    auto& f = frm_;
    statusStrip_ = new QWidget(client);
    statusStrip_->setObjectName("statusStrip");
    auto* row = new QHBoxLayout(statusStrip_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);

    // A message longer than its line ends in "…"; the tooltip then holds all of it.
    auto* msg = new ElidedLabel(Qt::ElideRight, statusStrip_);
    msg->setObjectName("lblMsg");
    bind([msg, &m = f.lblMsg] { apply(msg, m); });
    msg->setFrameShape(QFrame::StyledPanel);
    msg->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    msg->setMinimumHeight(kButtonH);
    row->addWidget(msg, 1);

    auto* bar = new QProgressBar(statusStrip_);
    bar->setObjectName("barHSC");
    bar->setRange(0, 100);
    bar->setFixedSize(140, 18);
    onSync([bar, &m = f.barHSC] { apply(bar, m); });
    row->addWidget(bar);
    auto* barLabel = makeLabel(statusStrip_, "lblBar", f.lblBar, QRect(), Qt::AlignRight);
    barLabel->setMinimumWidth(40);
    row->addWidget(barLabel);

    auto* cancel =
        makeButton(statusStrip_, "cmdCancel", f.cmdCancel, QRect(), control::cmdCancel_Click);
    cancel->setFixedSize(60, kButtonH);
    row->addWidget(cancel);
    auto* stop = makeLabel(statusStrip_, "lblStop", f.lblStop, QRect());
    QPalette red = stop->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    stop->setPalette(red);
    row->addWidget(stop);

    auto* xy = makeLabel(statusStrip_, "lblXY", f.lblXY, QRect());
    xy->setMinimumWidth(xy->fontMetrics().horizontalAdvance("X : 99999  Y : 99999  a : 255") + 8);
    row->addWidget(xy);
    auto* version = makeLabel(statusStrip_, "lblVersion", f.lblVersion, QRect(), Qt::AlignRight);
    row->addWidget(version);
}

void MainWindow::layoutStatus() {
    const int width = std::max(0, centralWidget()->width() - kStatusLeft - 5);
    statusStrip_->setGeometry(kStatusLeft, 8, width, 26);
}

}  // namespace orv::window
