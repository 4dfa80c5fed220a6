#pragma once
// 表示調整: the display stretch of the input and background views (view/display_stretch.h) in
// a small window of its own: the curve, the black and white points as levels with the share of
// pixels below them, ranges by percentile, and the picture's histogram with the two points to
// drag. Only how layers 0 and 1 and the thumbnail are shown changes; it stays for the session.

#include <QWidget>
#include <optional>

#include "view/display_stretch.h"

class QComboBox;
class QLabel;
class QSpinBox;

namespace orv::window {

class MainWindow;

// The histogram of the levels (counts on a log scale), the stretch's curve over it and the black
// and white points as vertical lines that the pointer drags.
class StretchHistogram : public QWidget {
    Q_OBJECT
public:
    explicit StretchHistogram(QWidget* parent);
    void showLevels(const view::LevelHistogram& histogram, const view::DisplayStretch& stretch);
    // The level under a widget x position, and the x position of a level.
    int levelAt(double x) const;
    double xOf(int level) const;

signals:
    void pointsDragged(int black, int white);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    view::LevelHistogram histogram_{};
    view::DisplayStretch stretch_;
    int dragging_ = 0;  // 1 black, 2 white
};

class StretchWindow : public QWidget {
    Q_OBJECT
public:
    explicit StretchWindow(MainWindow& window);
    void open();
    // Follows the picture (a new one gets its histogram) and the stretch in use.
    void syncFromModel();

private:
    void apply(view::DisplayStretch stretch);
    void byPercent(double low, double high);

    MainWindow& w_;
    QComboBox* curve_ = nullptr;
    QSpinBox* black_ = nullptr;
    QSpinBox* white_ = nullptr;
    QLabel* blackShare_ = nullptr;
    QLabel* whiteShare_ = nullptr;
    StretchHistogram* histogram_ = nullptr;
    view::LevelHistogram levels_{};
    uint64_t picture_ = ~uint64_t{0};            // the picture generation the histogram belongs to
    std::optional<view::DisplayStretch> shown_;  // the stretch the shares and histogram show
    bool placed_ = false;
    bool updating_ = false;
};

}  // namespace orv::window
