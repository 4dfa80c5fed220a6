#include "bench/field_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "bench/bmp_writer.h"
#include "bench/starfield.h"
#include "control/pipeline.h"
#include "input/image_load.h"

namespace orv::bench {

namespace {
constexpr const char* kFieldName = "field.bmp";
}

void waitMs(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

FieldWindow::FieldWindow(const QString& settings, int size, int stars, uint32_t seed,
                         double noise) {
    auto spec = denseField(size, size, stars, seed);
    spec.noiseSigma = noise;
    StarField field;
    try {
        field = generateStarField(spec);
    } catch (const std::exception& e) {
        error_ = std::string("cannot generate the field: ") + e.what();
        exitCode_ = 2;
        return;
    }
    if (!folder_.isValid() || !QFile::copy(settings, folder_.filePath("Orvandel.ini")) ||
        !writeBmp(folder_.filePath(kFieldName).toStdString(), field.width, field.height,
                  field.rgb)) {
        error_ = "cannot prepare " + folder_.path().toStdString();
        exitCode_ = 1;
        return;
    }
    window_ = std::make_unique<window::MainWindow>(
        core::ProgramFolders::at(folder_.path().toStdString()));
    window_->show();
    for (int i = 0; i < 500 && !(window_->windowHandle() && window_->windowHandle()->isExposed());
         ++i)
        waitMs(10);
}

bool parseFieldOptions(int argc, char** argv, FieldOptions& o) {
    if (argc < 2 || argc % 2 != 0) return false;
    o.settings = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        const int v = std::atoi(argv[i + 1]);
        if (a == "--size")
            o.size = v;
        else if (a == "--stars")
            o.stars = v;
        else if (a == "--repeat")
            o.repeat = v;
        else
            return false;
    }
    return o.size > 0 && o.stars > 0 && o.repeat > 0;
}

std::unique_ptr<FieldWindow> detectedField(const FieldOptions& o, int& exitCode) {
    auto field = std::make_unique<FieldWindow>(o.settings, o.size, o.stars, 1, 1.2);
    exitCode = field->exitCode();
    if (exitCode == 0 && !field->detect()) exitCode = 1;
    if (exitCode == 0) return field;
    std::fprintf(stderr, "%s\n", field->error().c_str());
    return nullptr;
}

bool FieldWindow::detect() {
    nameField();
    window_->runHandler([](form::Ctx& ctx) { input::cmdDataIn_Click(ctx, 3); });
    window_->runHandler(control::cmdDoAll_Click);
    const int16_t stage = window_->workspace().ProcStage;
    if (stage == core::kStageAnalysed) return true;
    error_ = "the run ended in stage " + std::to_string(stage);
    return false;
}

void FieldWindow::nameField() {
    window_->workspace().DoFilePath = folder_.path().toStdString();
    window_->workspace().DoFileName = kFieldName;
}

}  // namespace orv::bench
