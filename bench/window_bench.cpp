// orvandel-window-bench: how the real main window keeps up with a huge picture. Run it on a
// real display or under Xvfb (bench/window_speed.sh does), not offscreen, so that painting
// goes through the platform as on a desktop.
//
//   orvandel-window-bench SETTINGS_FILE [--size N] [--stars N] [--noise SIGMA] [--seed S]
//                         [--trace]
//
// 1. Generates a square star field (denseField with the given noise) as a BMP file in a
//    temporary folder that also serves as the program's folder (SETTINGS_FILE is copied there).
// 2. Starts the main window and loads the picture as the batch run does (source 3): the time
//    it takes and the longest gap between event-queue passes meanwhile.
// 3. Clicks 恒星位置抽出 and measures until the stage is 10:
//    - the wall time from the click to stage 10, every layer drawn and the program's own
//      pauses (500 + 500 + 1000 ms) included;
//    - the longest gap between two paints of the viewport (its picture layers or, where none
//      is shown, its background). The bench marks the viewport as damaged every 16 ms, as an
//      overlapping window or a compositor would, so a long gap means that the window could
//      not repaint, not that nothing changed;
//    - the longest gap between two event-queue passes of the host (QtHost::longestGapMs).
// Prints one line of "key=value" figures; --trace first prints every paint gap over 50 ms
// with the stages around it, and when each stage was seen painting.

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/field_window.h"
#include "core/workspace.h"
#include "input/image_load.h"
#include "window/main_window.h"
#include "window/picture_layer.h"

namespace {

struct Options {
    QString settings;
    int size = 4096;
    int stars = 8000;
    double noise = 1.2;
    uint32_t seed = 1;
    bool trace = false;
};

bool parse(int argc, char** argv, Options& o) {
    if (argc < 2) return false;
    o.settings = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--trace")
            o.trace = true;
        else if (a == "--size" && hasValue)
            o.size = std::atoi(argv[++i]);
        else if (a == "--stars" && hasValue)
            o.stars = std::atoi(argv[++i]);
        else if (a == "--noise" && hasValue)
            o.noise = std::atof(argv[++i]);
        else if (a == "--seed" && hasValue)
            o.seed = static_cast<uint32_t>(std::atoi(argv[++i]));
        else
            return false;
    }
    return o.size > 0 && o.stars > 0;
}

// Time stamps of paint events, with the stage at each.
class PaintLog : public QObject {
public:
    PaintLog(const QElapsedTimer& clock, const orv::core::Workspace& ws) : clock_(clock), ws_(ws) {}
    struct Paint {
        qint64 ns;
        int stage;
    };
    std::vector<Paint> paints;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            paints.push_back({clock_.nsecsElapsed(), ws_.ProcStage});
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer& clock_;
    const orv::core::Workspace& ws_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: orvandel-window-bench SETTINGS_FILE [--size N] [--stars N] "
                     "[--noise SIGMA] [--seed S] [--trace]\n");
        return 2;
    }

    orv::bench::FieldWindow fieldWindow(o.settings, o.size, o.stars, o.seed, o.noise);
    if (fieldWindow.exitCode() != 0) {
        std::fprintf(stderr, "%s\n", fieldWindow.error().c_str());
        return fieldWindow.exitCode();
    }
    orv::window::MainWindow& window = fieldWindow.window();
    auto& ws = window.workspace();
    fieldWindow.nameField();
    QElapsedTimer load;
    load.start();
    window.host().resetGapStatistics();
    window.runHandler([](orv::form::Ctx& ctx) { orv::input::cmdDataIn_Click(ctx, 3); });
    const qint64 loadMs = load.elapsed();
    const qint64 loadGap = window.host().longestGapMs();
    if (ws.ProcStage != orv::core::kStageLoaded) {
        std::fprintf(stderr, "cannot load the picture\n");
        return 1;
    }
    orv::bench::waitMs(300);

    QElapsedTimer clock;
    clock.start();
    PaintLog log(clock, ws);
    auto* viewport = window.findChild<QWidget*>("fraPickUp");
    viewport->installEventFilter(&log);
    for (int i = 0; i < 5; ++i) window.layer(i)->installEventFilter(&log);
    QTimer damage;
    QObject::connect(&damage, &QTimer::timeout, [&] {
        // A layer covers the viewport, and an update of the viewport alone does not reach it.
        viewport->update();
        for (int i = 0; i < 5; ++i)
            if (window.layer(i)->isVisible()) window.layer(i)->update();
    });
    damage.start(16);

    auto* doAll = window.findChild<QPushButton*>("cmdDoAll");
    window.host().resetGapStatistics();
    const qint64 start = clock.nsecsElapsed();
    doAll->click();
    const qint64 end = clock.nsecsElapsed();
    const qint64 pumpGap = window.host().longestGapMs();
    damage.stop();
    if (ws.ProcStage != orv::core::kStageAnalysed) {
        std::fprintf(stderr, "the run ended in stage %d\n", ws.ProcStage);
        return 1;
    }

    // Gaps between paints during the run, with the click and stage 10 as the outer bounds.
    std::vector<PaintLog::Paint> t{{start, orv::core::kStagePipeline}};
    for (const auto& p : log.paints)
        if (p.ns >= start && p.ns <= end) t.push_back(p);
    t.push_back({end, orv::core::kStageAnalysed});
    qint64 longest = 0;
    for (size_t i = 1; i < t.size(); ++i) {
        const qint64 gap = t[i].ns - t[i - 1].ns;
        longest = std::max(longest, gap);
        if (o.trace && gap > 50'000'000)
            std::printf("paint gap %.0f ms from %.0f ms (stage %d) to %.0f ms (stage %d)\n",
                        gap / 1e6, (t[i - 1].ns - start) / 1e6, t[i - 1].stage,
                        (t[i].ns - start) / 1e6, t[i].stage);
    }

    if (o.trace) {
        // When each stage was first and last seen painting: the steps and the pauses.
        for (int stage = orv::core::kStagePipeline; stage <= orv::core::kStageAnalysed; ++stage) {
            qint64 first = -1, last = -1;
            for (const auto& p : log.paints)
                if (p.ns >= start && p.ns <= end && p.stage == stage) {
                    if (first < 0) first = p.ns;
                    last = p.ns;
                }
            if (first >= 0)
                std::printf("stage %d painted from %.0f to %.0f ms\n", stage, (first - start) / 1e6,
                            (last - start) / 1e6);
        }
    }

    const auto& n = ws.StarAtrNo;
    std::printf(
        "size=%d stars=%d noise=%.2f load_ms=%lld load_gap_ms=%lld stage10_ms=%.0f "
        "paint_gap_ms=%.0f pump_gap_ms=%lld paints=%zu results=%d circular=%d noise=%d\n",
        o.size, o.stars, o.noise, static_cast<long long>(loadMs), static_cast<long long>(loadGap),
        (end - start) / 1e6, longest / 1e6, static_cast<long long>(pumpGap), t.size() - 2,
        ws.MaxStarNo, n[0][3], n[0][1]);
    return 0;
}
