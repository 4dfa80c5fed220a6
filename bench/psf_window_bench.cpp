// orvandel-psf-window-bench: what a click on a star costs in the real main window while the
// PSF page is open, on a huge picture. Run it on a real display or under Xvfb
// (bench/psf_speed.sh does), not offscreen, so that painting goes through the platform.
//
//   orvandel-psf-window-bench SETTINGS_FILE [--size N] [--stars N] [--repeat N]
//
// 1. Generates a square star field (denseField, noise sigma 1.2, seed 1) as a BMP file in a
//    temporary folder that also serves as the program's folder, loads it, detects its stars
//    and opens the PSF page (" PSF設定").
// 2. For --repeat circular results well inside the picture, one after another: a pointer
//    press and release on the marked picture at the star (as the window system delivers
//    them), which selects it and computes, draws and labels its profile; then the PSF page
//    and the picture are repainted at once and in full (QWidget::repaint). Times the whole,
//    wall clock, from the press to the end of the repaint.
// Prints the median and the worst, and how many clicks gave a profile of their own (a star
// whose profile cannot be fitted brings a message box, answered by the driver; its time then
// counts the box too).

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/field_window.h"
#include "extract/records.h"
#include "psf/mode_switch.h"
#include "window/main_window.h"
#include "window/picture_layer.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    orv::bench::FieldOptions o;
    o.repeat = 50;
    if (!orv::bench::parseFieldOptions(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: orvandel-psf-window-bench SETTINGS_FILE [--size N] [--stars N] "
                     "[--repeat N]\n");
        return 2;
    }
    int exitCode = 0;
    const auto field = orv::bench::detectedField(o, exitCode);
    if (!field) return exitCode;
    orv::window::MainWindow& window = field->window();
    auto& ws = window.workspace();
    window.runHandler([](orv::form::Ctx& ctx) { orv::psf::cmdMain_Click(ctx, 1); });
    orv::bench::waitMs(200);

    std::vector<int32_t> stars;
    for (int32_t n = 1; n <= ws.MaxStarNo && static_cast<int>(stars.size()) < o.repeat; ++n) {
        const auto& s = ws.Stars[n];
        if (ws.Clusters[n].Atr == orv::extract::kAtrCircular && s.CenterX > 20 && s.CenterY > 20 &&
            s.CenterX < ws.ImageWidthP - 20 && s.CenterY < ws.ImageHeightP - 20)
            stars.push_back(n);
    }
    // A star whose profile cannot be fitted brings a message box: answered at once.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Ok)->click();
    });
    answer.start(5);
    QWidget* layer = window.layer(4);
    QWidget* page = window.findChild<QWidget*>("fraMain(1)");
    const auto& box = window.form().picHSC[4];
    std::vector<double> ms;
    int own = 0;
    for (int32_t n : stars) {
        const QPointF at(
            ws.Stars[n].CenterX * box.Width / box.ScaleWidth / orv::core::kTwipsPerPixel,
            ws.Stars[n].CenterY * box.Height / box.ScaleHeight / orv::core::kTwipsPerPixel);
        QElapsedTimer t;
        t.start();
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent e(type, at, layer->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
            QApplication::sendEvent(layer, &e);
        }
        page->repaint();
        layer->repaint();
        ms.push_back(t.nsecsElapsed() / 1e6);
        own += ws.psf.PSFStarNo == n && ws.psf.ProfileOwn;
    }
    if (ms.empty()) {
        std::fprintf(stderr, "no circular result to click\n");
        return 1;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("clicks=%zu profiles=%d click_to_plot_ms=%.2f worst_ms=%.2f\n", ms.size(), own,
                ms[ms.size() / 2], ms.back());
    return 0;
}
