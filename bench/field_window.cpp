#include "bench/field_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QWindow>
#include <exception>

#include "bench/bmp_writer.h"
#include "bench/starfield.h"

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
    window_ =
        std::make_unique<qt::MainWindow>(core::ProgramFolders::at(folder_.path().toStdString()));
    window_->show();
    for (int i = 0; i < 500 && !(window_->windowHandle() && window_->windowHandle()->isExposed());
         ++i)
        waitMs(10);
}

void FieldWindow::nameField() {
    window_->workspace().DoFilePath = folder_.path().toStdString();
    window_->workspace().DoFileName = kFieldName;
}

}  // namespace orv::bench
