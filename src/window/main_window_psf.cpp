// The PSF page fraMain(1): as tall as the detection page, which it covers whole.
//
//   [採用] [新規]
//   +------------+ +-PSFプロフィール-+
//   | picPSFsrc  | | StarNo     123 |
//   | 132 x 132  | | σ＝       1.53 |   the star shown: σ, N, sky
//   |            | | N ＝     182.4 |
//   |            | | sky ＝     30.1 |
//   |            | | ｎ ＝        3 |   the entries adopted: count, mean σ, spread
//   |            | | σ ＝      1.58 |
//   +------------+ | σσ ＝     0.04 |
//   +-------------------------------+
//   | picPSFProfile 292 x 168       |
//   +-------------------------------+
//   | picPSFProfile2 292 x 128      |
//   +-------------------------------+
//   +-設定----------+  [読込]
//   | three boxes   |  [保存]
//   +---------------+

#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <vector>

#include "psf/entries.h"
#include "psf/psf_profile.h"
#include "psf/psf_settings.h"
#include "window/bindings.h"
#include "window/main_window.h"
#include "window/navigation_widgets.h"
#include "window/widgets.h"

namespace orv::window {

namespace {

constexpr int kButtonH = 24;
constexpr int kTitleH = 14;
constexpr int kRowH = 17;

QString indexed(const char* name, int index) {
    return QString("%1(%2)").arg(name).arg(index);
}

// A number written beside an axis, at a point of the picture's logical window.
struct Tick {
    double x, y;
    const char* text;
};

// A picture box whose canvas is shown 1:1 inside a one-pixel frame, with the numbers of its
// axes written over it.
class CanvasView : public QWidget {
public:
    CanvasView(const form::PictureBox& box, const psf::PictureWindow& window,
               std::vector<Tick> ticks, QWidget* parent)
        : QWidget(parent), box_(box), window_(window), ticks_(std::move(ticks)) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        resize(static_cast<int>(box.Width) + 2, static_cast<int>(box.Height) + 2);
        QFont small = font();
        small.setPointSizeF(7);
        setFont(small);
    }
    void sync() {
        applyControl(this, box_);
        if (box_.canvas.revision() != revision_) {
            revision_ = box_.canvas.revision();
            update();
        }
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(0x80, 0x80, 0x80));
        const form::Canvas& c = box_.canvas;
        if (!paintCanvas(p, c, rect().adjusted(1, 1, -1, -1))) return;
        // A tick's text ends just left of its point and stands just below it.
        p.setPen(QColor(0xb0, 0xb0, 0xb0));
        for (const Tick& t : ticks_) {
            const double x = 1 + (t.x - window_.left) / window_.width * c.widthPx();
            const double y = 1 + (t.y - window_.top) / window_.height * c.heightPx();
            const QRect r(static_cast<int>(x) - 42, static_cast<int>(y) + 1, 40, 12);
            p.drawText(r, Qt::AlignRight | Qt::AlignTop, t.text);
        }
    }

private:
    const form::PictureBox& box_;
    psf::PictureWindow window_;
    std::vector<Tick> ticks_;
    uint64_t revision_ = ~uint64_t{0};
};

}  // namespace

void MainWindow::buildPsfPage(QWidget* page) {
    auto& f = frm_;
    auto* adopt = makeButton(page, "cmdPSFEntry", f.cmdPSFEntry, QRect(4, 4, 96, kButtonH + 2),
                             psf::cmdPSFEntry_Click);
    QFont bold = adopt->font();
    bold.setBold(true);
    adopt->setFont(bold);
    makeButton(page, "cmdPSFEntryClear", f.cmdPSFEntryClear, QRect(104, 5, 64, kButtonH),
               psf::cmdPSFEntryClear_Click);

    // The radii 5, 10, 15 under the raw profile's axis (the normalised one below shares it,
    // and its measured points may lie under its axis); the levels beside the vertical axes.
    const std::vector<Tick> levels = {
        {5.2, 0, "5"}, {10.4, 0, "10"}, {15.4, 0, "15"}, {-0.1, 106, "100"}, {-0.1, 206, "200"}};
    const std::vector<Tick> shares = {{-0.1, 0.54, "0.5"}, {-0.1, 1.04, "1.0"}};
    const struct {
        const form::PictureBox& box;
        const char* name;
        QPoint at;
        psf::PictureWindow window;
        std::vector<Tick> ticks;
    } pictures[3] = {
        {f.picPSFsrc, "picPSFsrc", {4, 34}, psf::kSourceWindow, {}},
        {f.picPSFProfile, "picPSFProfile", {4, 172}, psf::kProfileWindow, levels},
        {f.picPSFProfile2, "picPSFProfile2", {4, 344}, psf::kNormalisedWindow, shares}};
    for (const auto& p : pictures) {
        auto* view = new CanvasView(p.box, p.window, p.ticks, page);
        view->setObjectName(p.name);
        view->move(p.at);
        bind([view] { view->sync(); });
    }

    // The star's own figures above, the adopted entries' below a gap.
    auto* frame = makeFrame(page, "Frame1", f.Frame1, QRect(142, 28, 154, 140));
    const int order[6] = {0, 1, 5, 2, 3, 4};
    makeLabel(frame, "lblPSFStarCaption", f.lblPSFStarCaption, QRect(6, kTitleH + 2, 58, kRowH));
    makeLabel(frame, "lblPSFStarNo", f.lblPSFStarNo, QRect(64, kTitleH + 2, 82, kRowH),
              Qt::AlignRight);
    for (int i = 0; i < 6; ++i) {
        const int k = order[i], y = kTitleH + 2 + kRowH * (i + 1) + (i >= 3 ? 6 : 0);
        makeLabel(frame, indexed("lblPSFInfoCaption", k), f.lblPSFInfoCaption[k],
                  QRect(6, y, 58, kRowH));
        makeLabel(frame, indexed("lblPSFInfo", k), f.lblPSFInfo[k], QRect(64, y, 82, kRowH),
                  Qt::AlignRight);
    }

    auto* settings = makeFrame(page, "fraPSFsetting", f.fraPSFsetting, QRect(4, 478, 160, 76));
    const struct {
        form::TextBox& box;
        const char* name;
        Handler lostFocus;
    } boxes[3] = {{f.txtPSFFactorRSD, "txtPSFFactorRSD", psf::txtPSFFactorRSD_LostFocus},
                  {f.txtPSFAnnulus, "txtPSFAnnulus", psf::txtPSFAnnulus_LostFocus},
                  {f.txtPSFDAnnulus, "txtPSFDAnnulus", nullptr}};
    for (int i = 0; i < 3; ++i) {
        const int y = kTitleH + 20 * i;
        makeLabel(settings, indexed("lblPSFCaption", i), f.lblPSFCaption[i], QRect(6, y, 80, 19));
        auto* box = makeBox(settings, boxes[i].name, boxes[i].box, QRect(90, y, 60, 19),
                            boxes[i].lostFocus);
        // ダーク幅 is checked at every change of its text.
        if (i == 2)
            connect(box, &QLineEdit::textEdited, this,
                    [this] { runHandler(psf::txtPSFDAnnulus_Change); });
    }
    makeButton(page, "cmdPSFRead", f.cmdPSFRead, QRect(172, 488, 124, kButtonH),
               psf::cmdPSFRead_Click);
    makeButton(page, "cmdPSFSave", f.cmdPSFSave, QRect(172, 518, 124, kButtonH),
               psf::cmdPSFSave_Click);
}

}  // namespace orv::window
