#include "window/stretch_window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "window/main_window.h"

namespace orv::window {

StretchHistogram::StretchHistogram(QWidget* parent) : QWidget(parent) {
    setMinimumSize(256 + 8, 110);
    setToolTip("レベルの分布です。黒点（左）と白点（右）の線をドラッグできます。");
    setCursor(Qt::SizeHorCursor);
}

void StretchHistogram::showLevels(const view::LevelHistogram& histogram,
                                  const view::DisplayStretch& stretch) {
    histogram_ = histogram;
    stretch_ = stretch;
    update();
}

int StretchHistogram::levelAt(double x) const {
    const double w = std::max(1, width() - 8);
    return std::clamp(static_cast<int>(std::lround((x - 4) / w * 255)), 0, 255);
}

double StretchHistogram::xOf(int level) const {
    return 4 + level * (std::max(1, width() - 8) / 255.0);
}

void StretchHistogram::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(24, 24, 24));
    const double h = height() - 4;
    double top = 0;
    for (uint64_t c : histogram_) top = std::max(top, std::log1p(static_cast<double>(c)));
    p.setPen(QColor(150, 150, 150));
    for (int v = 0; v < 256 && top > 0; ++v) {
        const double bar = std::log1p(static_cast<double>(histogram_[v])) / top * (h - 4);
        const double x = xOf(v);
        p.drawLine(QPointF(x, h), QPointF(x, h - bar));
    }
    // The curve: screen grey over level.
    const view::StretchTable table = view::stretchTable(stretch_);
    QPainterPath curve;
    for (int v = 0; v < 256; ++v) {
        const QPointF at(xOf(v), h - table[v] / 255.0 * (h - 4));
        if (v == 0)
            curve.moveTo(at);
        else
            curve.lineTo(at);
    }
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(255, 200, 0), 1.2));
    p.drawPath(curve);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor(90, 160, 255), 2));
    p.drawLine(QPointF(xOf(stretch_.black), 0), QPointF(xOf(stretch_.black), height()));
    p.setPen(QPen(QColor(255, 255, 255), 2));
    p.drawLine(QPointF(xOf(stretch_.white), 0), QPointF(xOf(stretch_.white), height()));
}

void StretchHistogram::mousePressEvent(QMouseEvent* e) {
    const double x = e->position().x();
    const double toBlack = std::abs(x - xOf(stretch_.black));
    const double toWhite = std::abs(x - xOf(stretch_.white));
    dragging_ = toBlack <= toWhite ? 1 : 2;
    mouseMoveEvent(e);
}

void StretchHistogram::mouseMoveEvent(QMouseEvent* e) {
    if (dragging_ == 0) return;
    const int level = levelAt(e->position().x());
    int black = stretch_.black, white = stretch_.white;
    if (dragging_ == 1)
        black = std::min(level, white - 1);
    else
        white = std::max(level, black + 1);
    if (black == stretch_.black && white == stretch_.white) return;
    emit pointsDragged(black, white);
}

void StretchHistogram::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = 0;
}

StretchWindow::StretchWindow(MainWindow& window) : QWidget(&window, Qt::Tool), w_(window) {
    setObjectName("frmStretch");
    setWindowTitle("表示調整");
    setFont(window.font());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel("曲線", this));
    curve_ = new QComboBox(this);
    curve_->setObjectName("cboStretchCurve");
    curve_->addItems({"線形", "asinh", "log", "sqrt"});
    curve_->setToolTip(
        "黒点と白点の間の明るさの付け方です。asinh と log は暗い部分を持ち上げます。");
    top->addWidget(curve_);
    top->addStretch(1);
    auto* standard = new QPushButton("標準に戻す", this);
    standard->setObjectName("cmdStretchStandard");
    standard->setToolTip("線形、黒点 0、白点 255（調整なし）に戻します。");
    top->addWidget(standard);
    layout->addLayout(top);

    histogram_ = new StretchHistogram(this);
    histogram_->setObjectName("picStretchHistogram");
    layout->addWidget(histogram_, 1);

    auto* points = new QGridLayout;
    black_ = new QSpinBox(this);
    black_->setObjectName("spnStretchBlack");
    black_->setRange(0, 254);
    black_->setToolTip("これより暗いレベルを黒で表示します。");
    white_ = new QSpinBox(this);
    white_->setObjectName("spnStretchWhite");
    white_->setRange(1, 255);
    white_->setToolTip("これより明るいレベルを白で表示します。");
    blackShare_ = new QLabel(this);
    whiteShare_ = new QLabel(this);
    points->addWidget(new QLabel("黒点", this), 0, 0);
    points->addWidget(black_, 0, 1);
    points->addWidget(blackShare_, 0, 2);
    points->addWidget(new QLabel("白点", this), 1, 0);
    points->addWidget(white_, 1, 1);
    points->addWidget(whiteShare_, 1, 2);
    points->setColumnStretch(2, 1);
    layout->addLayout(points);

    auto* ranges = new QHBoxLayout;
    ranges->addWidget(new QLabel("範囲", this));
    const struct {
        const char* caption;
        const char* name;
        double low, high;  // percent; negative: the whole range 0..255
    } presets[] = {{"全範囲", "cmdStretchWhole", -1, -1},
                   {"最小–最大", "cmdStretchMinMax", 0, 100},
                   {"0.5–99.5%", "cmdStretch995", 0.5, 99.5},
                   {"1–99%", "cmdStretch99", 1, 99}};
    for (const auto& preset : presets) {
        auto* b = new QPushButton(preset.caption, this);
        b->setObjectName(preset.name);
        b->setToolTip(preset.low < 0 ? "黒点 0、白点 255 にします。"
                                     : "画素の明るさの分布から黒点と白点を決めます。");
        ranges->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, low = preset.low, high = preset.high] {
            if (low < 0) {
                view::DisplayStretch s = w_.displayStretch();
                s.black = 0;
                s.white = 255;
                apply(s);
            } else {
                byPercent(low, high);
            }
        });
    }
    ranges->addStretch(1);
    layout->addLayout(ranges);
    auto* note =
        new QLabel("入力画像と背景画像の見え方だけを変えます。検出と結果は変わりません。", this);
    note->setWordWrap(true);
    note->setEnabled(false);
    layout->addWidget(note);

    connect(curve_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (updating_) return;
        view::DisplayStretch s = w_.displayStretch();
        s.curve = static_cast<view::StretchCurve>(i);
        apply(s);
    });
    auto points_ = [this] {
        if (updating_) return;
        view::DisplayStretch s = w_.displayStretch();
        s.black = black_->value();
        s.white = std::max(white_->value(), s.black + 1);
        apply(s);
    };
    connect(black_, &QSpinBox::valueChanged, this, points_);
    connect(white_, &QSpinBox::valueChanged, this, points_);
    connect(histogram_, &StretchHistogram::pointsDragged, this, [this](int black, int white) {
        view::DisplayStretch s = w_.displayStretch();
        s.black = black;
        s.white = white;
        apply(s);
    });
    connect(standard, &QPushButton::clicked, this, [this] { apply({}); });
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
}

void StretchWindow::open() {
    if (!placed_) {
        placed_ = true;
        resize(360, 300);
        const QRect main = w_.frameGeometry();
        move(main.x() + std::max(0, main.width() - 380), main.y() + 80);
    }
    show();
    raise();
    activateWindow();
    syncFromModel();
}

void StretchWindow::apply(view::DisplayStretch stretch) {
    w_.setDisplayStretch(stretch);
    syncFromModel();
}

void StretchWindow::byPercent(double low, double high) {
    view::DisplayStretch s = w_.displayStretch();
    s.black = std::min(view::levelAtPercent(levels_, low), 254);
    s.white = std::max(view::levelAtPercent(levels_, high), s.black + 1);
    apply(s);
}

void StretchWindow::syncFromModel() {
    if (isHidden()) return;
    const auto& ws = w_.workspace();
    if (picture_ != ws.PictureGeneration && !w_.running()) {
        picture_ = ws.PictureGeneration;
        levels_ = view::levelHistogram(ws);
        shown_.reset();  // drawn for other levels
    }
    const view::DisplayStretch s = w_.displayStretch();
    updating_ = true;
    if (curve_->currentIndex() != static_cast<int>(s.curve))
        curve_->setCurrentIndex(static_cast<int>(s.curve));
    if (black_->value() != s.black) black_->setValue(s.black);
    if (white_->value() != s.white) white_->setValue(s.white);
    updating_ = false;
    // Most syncs (a pointer move over the picture) change neither the levels nor the stretch:
    // the shares and the histogram stay as drawn.
    if (shown_ == s) return;
    shown_ = s;
    blackShare_->setText(
        QString("（%1 % がこれ以下）").arg(view::percentAtLevel(levels_, s.black), 0, 'f', 1));
    whiteShare_->setText(
        QString("（%1 % がこれ以下）").arg(view::percentAtLevel(levels_, s.white), 0, 'f', 1));
    histogram_->showLevels(levels_, s);
}

}  // namespace orv::window
