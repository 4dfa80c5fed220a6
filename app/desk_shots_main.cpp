// Screenshots of the results table and the display stretch over the real main window, taken
// from the whole screen (scripts/desk-screenshots runs it under a virtual X server, at two
// screen sizes). Not a program for users.
//
//   orvandel-desk-shots SETTINGS_FILE PICTURE OUT_FOLDER SUFFIX
//
// After a one-click run on PICTURE: table<SUFFIX>.png shows 結果一覧 sorted by 積算輝度,
// brightest first, the fourth result selected and centred in the main window;
// stretch<SUFFIX>.png the input view with an asinh stretch from the picture's median level to
// its 99.5 % level, and the 表示調整 window.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "input/image_load.h"
#include "shots_support.h"
#include "view/display_stretch.h"
#include "window/main_window.h"
#include "window/results_window.h"
#include "window/stretch_window.h"

namespace {

void settle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}

bool shootScreen(const QString& folder, const QString& name) {
    settle();
    return orv::shots::savePng(QGuiApplication::primaryScreen()->grabWindow(0).toImage(), folder,
                               name);
}

using orv::shots::child;

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr,
                     "usage: orvandel-desk-shots SETTINGS_FILE PICTURE OUT_FOLDER SUFFIX\n");
        return 2;
    }
    const QString picture = QString::fromLocal8Bit(argv[2]);
    const QString out = QString::fromLocal8Bit(argv[3]);
    const QString suffix = QString::fromLocal8Bit(argv[4]);
    orv::window::useApplicationLook();

    QTemporaryDir work;
    const QString name = QFileInfo(picture).fileName();
    if (!orv::shots::prepareFolder(work, QString::fromLocal8Bit(argv[1]), picture, out)) return 1;
    orv::window::MainWindow window(orv::core::ProgramFolders::at(work.path().toStdString()));
    window.show();
    settle();
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->click();
    });
    answer.start(50);

    auto& ws = window.workspace();
    ws.DoFilePath = work.path().toStdString();
    ws.DoFileName = name.toStdString();
    window.runHandler([](orv::form::Ctx& ctx) { orv::input::cmdDataIn_Click(ctx, 3); });
    child<QPushButton>(window, "cmdDoAll")->click();
    if (ws.ProcStage != orv::core::kStageAnalysed) {
        std::fprintf(stderr, "the run ended in stage %d\n", ws.ProcStage);
        return 1;
    }
    child<QPushButton>(window, "cmdZoom(0)")->click();  // scale 2

    window.showResultsWindow();
    auto* table = window.resultsWindow();
    table->view()->sortByColumn(static_cast<int>(orv::view::ResultColumn::SumLevel),
                                Qt::DescendingOrder);
    settle();
    table->view()->setCurrentIndex(table->model()->index(3, 1));
    bool ok = shootScreen(out, "table" + suffix);
    table->close();

    child<QRadioButton>(window, "optFrame(3)")->click();
    window.showStretchWindow();
    auto* stretch = window.stretchWindow();
    child<QComboBox>(*stretch, "cboStretchCurve")->setCurrentIndex(1);
    const auto levels = orv::view::levelHistogram(ws);
    child<QSpinBox>(*stretch, "spnStretchWhite")->setValue(orv::view::levelAtPercent(levels, 99.5));
    child<QSpinBox>(*stretch, "spnStretchBlack")->setValue(orv::view::levelAtPercent(levels, 50));
    ok = shootScreen(out, "stretch" + suffix) && ok;
    return ok ? 0 : 1;
}
