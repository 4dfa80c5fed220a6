#pragma once
// frmBigPic, the division window, as a Qt window over its model: the big picture's preview
// with the tile grid and the current tile's squares, the tile itself at full resolution, the
// settings, the arrows and the save buttons. Its handlers run through the main window's
// runHandler, so a fault ends the handler with a message and the main window knows when work
// is under way. The window is created on first use and only hidden when closed.

#include <QWidget>
#include <functional>
#include <vector>

#include "tiles/big_pic.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;

namespace orv::window {

class MainWindow;

// The preview of the big picture scaled into imgBigPic's size, the grid of whole tiles, and the
// outer (shpArea) and inner (shpArea2) squares of the current tile.
class PreviewView : public QWidget {
    Q_OBJECT
public:
    // `onClick` gets the pressed point in preview pixels.
    PreviewView(const form::FrmBigPic& frm, std::function<void(QPointF)> onClick, QWidget* parent);
    void sync();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // What is on screen, to repaint only when it changes.
    struct Shown {
        const uint8_t* bits = nullptr;
        bool grid = false;
        double gridCell = 0, gridLeft = 0, gridTop = 0;
        int columns = 0, rows = 0;
        double outer[4] = {}, inner[4] = {};
        bool squares = false;
        bool operator==(const Shown&) const = default;
    };
    Shown current() const;

    const form::FrmBigPic& frm_;
    std::function<void(QPointF)> onClick_;
    Shown shown_;
};

// The current tile at full resolution with its inner square (shpArea3); a click runs
// picDivPic_Click.
class TileView : public QWidget {
    Q_OBJECT
public:
    TileView(const form::FrmBigPic& frm, std::function<void()> onClick, QWidget* parent);
    void sync();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    const form::FrmBigPic& frm_;
    std::function<void()> onClick_;
    const uint8_t* shownBits_ = nullptr;
};

class BigPicWindow : public QWidget {
    Q_OBJECT
public:
    using Handler = std::function<void(tiles::BigPicCtx&)>;

    explicit BigPicWindow(MainWindow& main);

    // Copies the model to the widgets (only what differs, without firing any handler).
    void syncFromModel();
    // Runs a handler of this window through the main window's runHandler.
    void run(const Handler& handler);

    PreviewView* preview() const { return preview_; }
    TileView* tile() const { return tile_; }

    // Shows the window at its model's place (400, 100), sized to what the screen leaves there
    // (at most its full size), above the main window.
    void showAtPlace();

    // The window's full size (client) and the least it is shrunk to on a small screen.
    static constexpr int kFullWidth = 1320, kFullHeight = 640;
    static constexpr int kMinWidth = 820, kMinHeight = 480;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // A widget of type W showing `model`, named and placed.
    template <typename W, typename M>
    W* add(QWidget* parent, const QString& name, const M& model, const QRect& geometry);
    QPushButton* makeButton(QWidget* parent, const QString& name, const form::CommandButton& model,
                            const QRect& geometry, Handler onClick);
    QLabel* makeLabel(QWidget* parent, const QString& name, const form::Label& model,
                      const QRect& geometry);
    QLineEdit* makeBox(const QString& name, form::TextBox& model, const QRect& geometry,
                       Handler onChange);
    void bind(std::function<void()> sync) {
        sync();
        syncers_.push_back(std::move(sync));
    }

    MainWindow& main_;
    form::FrmBigPic& frm_;
    std::vector<std::function<void()>> syncers_;
    PreviewView* preview_ = nullptr;
    TileView* tile_ = nullptr;
    QScrollArea* tileArea_ = nullptr;
    bool placedWithFrame_ = false;
};

}  // namespace orv::window
