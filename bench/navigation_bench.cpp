// orvandel-nav-bench: what looking around a huge picture costs in the real main window. Run it
// on a real display or under Xvfb (bench/navigation_speed.sh does), not offscreen, so that
// painting goes through the platform as on a desktop.
//
//   orvandel-nav-bench SETTINGS_FILE [--size N] [--stars N] [--repeat N]
//
// 1. Generates a square star field (denseField, noise sigma 1.2, seed 1) as a BMP file in a
//    temporary folder that also serves as the program's folder, loads it and detects its
//    stars (every mark drawn on the marked layer).
// 2. At each zoom level 0..3, with the picture's middle in the viewport, times (wall clock,
//    --repeat times each, median and worst):
//    - pan_ms:  one arrow button (cmdPicMove) and the repaint of the viewport;
//    - zoom_ms: one wheel step into this level about the viewport's middle, and the repaint;
//    - drag_ms: one step of a hand-tool drag (the pointer 14 pixels further), and the repaint;
//    - mag_ms:  one pointer move with the magnifier on (the magnifier drawn from the layer's
//               canvas) and the repaint of the magnifier.
//    The repaint of the shown layer is forced at once and in full (QWidget::repaint), so the
//    time includes painting every visible pixel into the window and handing it to the window
//    system; the window itself moves what it can and paints only what a move exposes.
// 3. The process's resident memory after the repaints of each level (rss_mb): the zoomed
//    picture is never made, so the figure does not grow with the level.
// 4. Below scale 1 (1/2, 1/4, 1/8 and 全体), times one wheel step out into the scale (or 全体)
//    with its repaint, which samples the whole picture quickly at the new size (zoom_ms), one
//    wheel pan with its repaint (pan_ms), and the smooth reduction of the whole picture that
//    follows once the view is still (smooth_ms, off the steps' time).
// Prints one line of "key=value" figures per level, with the number of paints of the shown
// layer (at least 4 x repeat: every timed step painted it).

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/field_window.h"
#include "edit/pointer.h"
#include "view/navigation.h"
#include "window/main_window.h"
#include "window/navigation_widgets.h"
#include "window/picture_layer.h"

namespace {

// Resident memory of the process in MB.
double residentMb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            double kb = 0;
            status >> kb;
            return kb / 1024;
        }
        status.ignore(1 << 10, '\n');
    }
    return 0;
}

struct Figures {
    std::vector<double> ms;
    void add(double v) { ms.push_back(v); }
    double median() {
        std::sort(ms.begin(), ms.end());
        return ms.empty() ? 0 : ms[ms.size() / 2];
    }
    double worst() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

// Milliseconds of `step` followed by the immediate repaint of `widget`.
double timed(const std::function<void()>& step, QWidget* widget) {
    QElapsedTimer t;
    t.start();
    step();
    widget->repaint();
    return t.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    orv::bench::FieldOptions o;
    if (!orv::bench::parseFieldOptions(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: orvandel-nav-bench SETTINGS_FILE [--size N] [--stars N] "
                     "[--repeat N]\n");
        return 2;
    }

    int exitCode = 0;
    const auto field = orv::bench::detectedField(o, exitCode);
    if (!field) return exitCode;
    orv::window::MainWindow& window = field->window();
    auto& ws = window.workspace();
    auto& f = window.form();
    orv::bench::waitMs(200);

    // The marked star picture is the one shown; its repaint covers the whole viewport.
    QWidget* shown = window.layer(4);
    const double midX = ws.ImageWidthP / 2.0, midY = ws.ImageHeightP / 2.0;
    const double vx = f.fraPickUp.Width / 2, vy = f.fraPickUp.Height / 2;
    auto run = [&](const orv::window::MainWindow::Handler& h) { window.runHandler(h); };

    auto* shownLayer = window.layer(4);
    for (int level = 0; level <= 3; ++level) {
        Figures pan, zoom, drag, mag;
        const int paintsBefore = shownLayer->paints();
        for (int i = 0; i < o.repeat; ++i) {
            // Into this level by one wheel step about the middle, from the level below (level 0:
            // from level 1, outwards).
            run([&](orv::form::Ctx& c) {
                // The level to start from, the layers sized for it ("－" from one above).
                c.ws.ZoomLevel = static_cast<int16_t>((level == 0 ? 1 : level - 1) + 1);
                orv::view::cmdZoom_Click(c, 1);
                orv::view::centreOn(c, midX, midY);
            });
            shown->repaint();
            zoom.add(timed(
                [&] {
                    run([&](orv::form::Ctx& c) {
                        orv::view::zoomAt(c, level == 0 ? -1 : 1, vx, vy);
                    });
                },
                shown));
            pan.add(timed(
                [&] { run([&](orv::form::Ctx& c) { orv::view::cmdPicMove_Click(c, i % 4); }); },
                shown));
        }
        // A hand drag in the middle, the pointer 14 pixels to and fro per step.
        run([&](orv::form::Ctx& c) {
            orv::view::centreOn(c, midX, midY);
            orv::view::cmdZoom_Click(c, 3);
        });
        const auto& layer = f.picHSC[4];
        const double unit = layer.Width / layer.ScaleWidth / orv::core::kTwipsPerPixel;
        auto pictureX = [&](double px) {
            return static_cast<float>((px * orv::core::kTwipsPerPixel - layer.Left) / layer.Width *
                                      layer.ScaleWidth);
        };
        const float y = static_cast<float>(midY);
        run([&](orv::form::Ctx& c) { orv::edit::picHSC_MouseDown(c, 4, 1, 0, pictureX(vx), y); });
        for (int i = 0; i < o.repeat; ++i) {
            const double px = vx + (i % 2 == 0 ? 7 : -7);
            drag.add(timed(
                [&] {
                    run([&](orv::form::Ctx& c) {
                        orv::edit::picHSC_MouseMove(c, 4, 1, 0, pictureX(px), y);
                    });
                },
                shown));
        }
        run([&](orv::form::Ctx& c) {
            orv::edit::picHSC_MouseUp(c, 4, 1, 0, pictureX(vx), y);
            orv::view::cmdZoom_Click(c, 3);
            c.frm.chkMag.Value = 1;
            orv::view::chkMag_Click(c);
        });
        // The magnifier following the pointer across the middle.
        for (int i = 0; i < o.repeat; ++i) {
            const float x = static_cast<float>(midX + (i % 30) / unit);
            mag.add(timed(
                [&] {
                    run([&](orv::form::Ctx& c) { orv::edit::picHSC_MouseMove(c, 4, 0, 0, x, y); });
                },
                window.magnifier()));
        }
        run([&](orv::form::Ctx& c) {
            c.frm.chkMag.Value = 0;
            orv::view::chkMag_Click(c);
        });
        orv::bench::waitMs(100);
        std::printf(
            "level=%d scale=%d pan_ms=%.2f pan_max_ms=%.2f zoom_ms=%.2f zoom_max_ms=%.2f "
            "drag_ms=%.2f drag_max_ms=%.2f mag_ms=%.2f mag_max_ms=%.2f rss_mb=%.1f paints=%d\n",
            level, 1 << level, pan.median(), pan.worst(), zoom.median(), zoom.worst(),
            drag.median(), drag.worst(), mag.median(), mag.worst(), residentMb(),
            shownLayer->paints() - paintsBefore);
        std::fflush(stdout);
    }

    // Below scale 1: one wheel step out into 1/2, 1/4 and 1/8 about the middle, and 全体 (the
    // whole picture), each with the repaint, which reduces the whole picture smoothly once for
    // the new size; then one wheel pan at that scale (the reduced picture kept).
    const struct {
        const char* name;
        int steps;  // wheel steps out from scale 1; 0: 全体
    } below[] = {{"1/2", 1}, {"1/4", 2}, {"1/8", 3}, {"fit", 0}};
    for (const auto& b : below) {
        Figures pan, zoom;
        for (int i = 0; i < o.repeat; ++i) {
            run([&](orv::form::Ctx& c) {
                orv::view::cmdZoom_Click(c, 2);
                orv::view::centreOn(c, midX, midY);
                if (b.steps > 1) orv::view::zoomAt(c, 1 - b.steps, vx, vy);
            });
            shown->repaint();
            zoom.add(timed(
                [&] {
                    run([&](orv::form::Ctx& c) {
                        if (b.steps == 0)
                            orv::view::zoomToFit(c);
                        else
                            orv::view::zoomAt(c, -1, vx, vy);
                    });
                },
                shown));
            pan.add(timed(
                [&] { run([&](orv::form::Ctx& c) { orv::view::panBy(c, i % 2 ? 30 : -30, 0); }); },
                shown));
        }
        // The smooth reduction that follows once the view is still (off the step's time).
        Figures smooth;
        const auto& canvas = f.picHSC[4].canvas;
        const QImage whole(reinterpret_cast<const uchar*>(canvas.data()), canvas.widthPx(),
                           canvas.heightPx(), static_cast<qsizetype>(canvas.widthPx()) * 4,
                           QImage::Format_RGB32);
        for (int i = 0; i < std::min(o.repeat, 10); ++i) {
            QElapsedTimer t;
            t.start();
            const QImage reduced =
                whole.scaled(shown->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            smooth.add(t.nsecsElapsed() / 1e6 + 0 * reduced.width());
        }
        orv::bench::waitMs(100);
        std::printf(
            "scale=%s pan_ms=%.2f pan_max_ms=%.2f zoom_ms=%.2f zoom_max_ms=%.2f "
            "smooth_ms=%.2f rss_mb=%.1f\n",
            b.name, pan.median(), pan.worst(), zoom.median(), zoom.worst(), smooth.median(),
            residentMb());
        std::fflush(stdout);
    }
    return 0;
}
