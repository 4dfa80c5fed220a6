// Screenshots of the real main window in the main stages of a run, for the documentation
// (scripts/screenshots runs it under a virtual X server). Not a program for users.
//
//   orvandel-shots SETTINGS_FILE PICTURE OUT_FOLDER [BIG_PICTURE [HUGE_PICTURE]]
//
// The settings file and the picture are copied into a temporary folder that serves as the
// program's folder, so that the result folder and the log land there and not beside the
// picture. The window is driven as a user would drive it: the picture is loaded as the batch
// run loads one (source 3), the one-click button is pressed, then the view options. Each
// stage is grabbed from the window itself into OUT_FOLDER:
//   loaded.png      picture loaded, view "入力画像"
//   result.png      after the one-click run, view "恒星位置" with the result marks
//   result-detail.png  the middle of the marked picture enlarged three times (nearest
//                   neighbour), where the marks of single pixels can be told apart
//   clusters.png    view "クラスタ"
//   background.png  view "背景画像"
//   zoom4.png       back to "恒星位置", scale 4 about a circular result in the middle
//   magnifier.png   the magnifier on, the pointer on that result
//   edit.png        the result selected, the edit frame open after 削除
//   guard.png       ファイル pressed then: the question about the unsaved work over the window
//                   (answered キャンセル)
//   psf.png         the PSF page with that result's profile, adopted with 採用
//   laptop.png      the window at 1366 x 698 (a 1366 x 768 screen less a task bar and a title
//                   bar), scale 1, the result selected
//   fit4096.png     HUGE_PICTURE (a 4096 x 4096 field) fitted into the viewport with 全体 and
//                   detected with one click at the threshold its background step suggests
//                   (only when HUGE_PICTURE is given)
//   division.png    the division window with BIG_PICTURE loaded through its file dialog and
//                   the tile (2, 1) chosen with the arrows (only when BIG_PICTURE is given)

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "extract/records.h"
#include "form/settings_boxes.h"
#include "input/image_load.h"
#include "shots_support.h"
#include "view/navigation.h"
#include "window/big_pic_window.h"
#include "window/main_window.h"
#include "window/picture_layer.h"

namespace {

// Lets pending layout and paint events through.
void settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

bool save(const QImage& image, const QString& folder, const char* name) {
    return orv::shots::savePng(image, folder, name);
}

// The whole window as it is painted.
bool shoot(QWidget& window, const QString& folder, const char* name) {
    settle();
    return save(window.grab().toImage(), folder, name);
}

// The middle 240 x 160 pixels of a picture layer, three times enlarged.
bool shootDetail(QWidget& layer, const QString& folder, const char* name) {
    settle();
    const QSize part(240, 160);
    const QRect middle(
        QPoint((layer.width() - part.width()) / 2, (layer.height() - part.height()) / 2), part);
    return save(layer.grab(middle).toImage().scaled(part * 3, Qt::IgnoreAspectRatio,
                                                    Qt::FastTransformation),
                folder, name);
}

using orv::shots::child;

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 4 || argc > 6) {
        std::fprintf(stderr,
                     "usage: orvandel-shots SETTINGS_FILE PICTURE OUT_FOLDER "
                     "[BIG_PICTURE [HUGE_PICTURE]]\n");
        return 2;
    }
    const QString settings = QString::fromLocal8Bit(argv[1]);
    const QString picture = QString::fromLocal8Bit(argv[2]);
    const QString out = QString::fromLocal8Bit(argv[3]);
    orv::window::useApplicationLook();

    QTemporaryDir work;
    const QString name = QFileInfo(picture).fileName();
    if (!orv::shots::prepareFolder(work, settings, picture, out)) return 1;
    // The hand tool's pictures, as beside the program.
    for (const char* icon : {"hand-off.bmp", "hand-on.bmp"})
        QFile::copy(QDir(QCoreApplication::applicationDirPath()).filePath(icon),
                    work.filePath(icon));

    orv::window::MainWindow window(orv::core::ProgramFolders::at(work.path().toStdString()));
    window.show();
    settle();

    // Every message box of the run (the saving one is not reached) is answered with OK, a file
    // dialog with the big picture. The first question about unsaved work is shot over the
    // window and answered キャンセル, the later ones 破棄.
    const QString big =
        argc >= 5 ? QFileInfo(QString::fromLocal8Bit(argv[4])).absoluteFilePath() : QString();
    const QString huge =
        argc == 6 ? QFileInfo(QString::fromLocal8Bit(argv[5])).absoluteFilePath() : QString();
    int questions = 0;
    bool ok = true;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            if (QAbstractButton* okButton = box->button(QMessageBox::Ok)) return okButton->click();
            if (questions++ > 0) return box->button(QMessageBox::Discard)->click();
            settle();
            QImage shot = window.grab().toImage();
            const QImage question = box->grab().toImage();
            QPainter p(&shot);
            const QPoint at((shot.width() - question.width()) / 2,
                            (shot.height() - question.height()) / 3);
            p.drawImage(at, question);
            p.setPen(QColor(0x40, 0x40, 0x40));
            p.drawRect(QRect(at, question.size()).adjusted(-1, -1, 0, 0));
            p.end();
            ok = save(shot, out, "guard") && ok;
            box->button(QMessageBox::Cancel)->click();
        }
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            dialog->selectFile(big);
            static_cast<QDialog*>(dialog)->accept();
        }
    });
    answer.start(50);

    auto& ws = window.workspace();
    ws.DoFilePath = work.path().toStdString();
    ws.DoFileName = name.toStdString();
    window.runHandler([](orv::form::Ctx& ctx) { orv::input::cmdDataIn_Click(ctx, 3); });
    if (ws.ProcStage != orv::core::kStageLoaded) {
        std::fprintf(stderr, "cannot load %s\n", qPrintable(picture));
        return 1;
    }
    ok = shoot(window, out, "loaded") && ok;

    child<QPushButton>(window, "cmdDoAll")->click();
    if (ws.ProcStage != orv::core::kStageAnalysed) {
        std::fprintf(stderr, "the run ended in stage %d\n", ws.ProcStage);
        return 1;
    }
    ok = shoot(window, out, "result") && ok;
    ok = shootDetail(*window.layer(4), out, "result-detail") && ok;
    child<QRadioButton>(window, "optFrame(1)")->click();
    ok = shoot(window, out, "clusters") && ok;
    child<QRadioButton>(window, "optFrame(2)")->click();
    ok = shoot(window, out, "background") && ok;

    // Scale 4 about the circular result nearest the picture's middle.
    child<QRadioButton>(window, "optFrame(0)")->click();
    int32_t star = 0;
    double best = 1e30;
    for (int32_t n = 1; n <= ws.MaxStarNo; ++n) {
        if (ws.Clusters[n].Atr != orv::extract::kAtrCircular) continue;
        const double dx = ws.Stars[n].CenterX - ws.ImageWidthP / 2.0;
        const double dy = ws.Stars[n].CenterY - ws.ImageHeightP / 2.0;
        if (dx * dx + dy * dy < best) best = dx * dx + dy * dy, star = n;
    }
    if (star == 0) {
        std::fprintf(stderr, "no circular result\n");
        return 1;
    }
    const float sx = ws.Stars[star].CenterX, sy = ws.Stars[star].CenterY;
    for (int i = 0; i < 2; ++i) child<QPushButton>(window, "cmdZoom(0)")->click();
    window.runHandler([&](orv::form::Ctx& ctx) { orv::view::centreOn(ctx, sx, sy); });
    ok = shoot(window, out, "zoom4") && ok;

    // The pointer on the result, with the magnifier on.
    QWidget* layer = window.layer(4);
    const auto& box = window.form().picHSC[4];
    const QPointF at(sx * box.Width / box.ScaleWidth / orv::core::kTwipsPerPixel,
                     sy * box.Height / box.ScaleHeight / orv::core::kTwipsPerPixel);
    auto mouse = [&](QEvent::Type type) {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
        QMouseEvent e(type, at, layer->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(layer, &e);
    };
    child<QCheckBox>(window, "chkMag")->click();
    mouse(QEvent::MouseMove);
    ok = shoot(window, out, "magnifier") && ok;
    child<QCheckBox>(window, "chkMag")->click();

    // Selected, the edit frame open, deleted.
    mouse(QEvent::MouseButtonPress);
    mouse(QEvent::MouseButtonRelease);
    child<QPushButton>(window, "cmdEdit")->click();
    child<QPushButton>(window, "cmdEditDelete")->click();
    ok = shoot(window, out, "edit") && ok;
    child<QPushButton>(window, "cmdDataIn(1)")->click();  // asks about the deletion: guard.png
    if (questions != 1) {
        std::fprintf(stderr, "no question about the unsaved work\n");
        return 1;
    }

    // The PSF page: the result restored, its profile computed by a click, and adopted.
    child<QPushButton>(window, "cmdEditUnDelete")->click();
    child<QPushButton>(window, "cmdEditClose")->click();
    child<QPushButton>(window, "cmdMain(1)")->click();
    mouse(QEvent::MouseButtonPress);
    mouse(QEvent::MouseButtonRelease);
    child<QPushButton>(window, "cmdPSFEntry")->click();
    ok = shoot(window, out, "psf") && ok;
    child<QPushButton>(window, "cmdMain(0)")->click();

    // A laptop's screen: scale 1, the result selected.
    const QSize desktop = window.size();
    window.resize(1366, 698);
    child<QPushButton>(window, "cmdZoom(2)")->click();
    // A click beside every result, then on the result: the panel opens and the left column
    // scrolls it into view.
    for (const QPointF at : {QPointF(0.5, 0.5), QPointF(sx, sy)})
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent e(type, at, layer->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
            QApplication::sendEvent(layer, &e);
        }
    ok = shoot(window, out, "laptop") && ok;
    window.resize(desktop);

    if (!huge.isEmpty()) {
        window.openPicture(huge);  // the results above are not saved: 破棄
        if (ws.ProcStage != orv::core::kStageLoaded) {
            std::fprintf(stderr, "cannot load %s\n", qPrintable(huge));
            return 1;
        }
        // The threshold the background step suggests for this field's noise.
        child<QPushButton>(window, "cmdZoomFit")->click();
        child<QPushButton>(window, "cmdIdoHeikin")->click();
        window.form().txtSiki.Text = std::to_string(ws.SuggestedSiki);
        window.runHandler(orv::form::txtSiki_LostFocus);
        child<QPushButton>(window, "cmdDoAll")->click();
        // The smooth reduction follows once the view is still.
        QElapsedTimer still;
        still.start();
        while (still.elapsed() < 4 * orv::window::PictureLayer::kSmoothDelayMs)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        ok = shoot(window, out, "fit4096") && ok;
    }
    if (big.isEmpty()) return ok ? 0 : 1;

    child<QPushButton>(window, "cmdShowBigPic")->click();
    QWidget* division = window.bigPicWindow();
    child<QPushButton>(*division, "cmdBigPic(0)")->click();
    for (const char* arrow : {"cmdDiv(1)", "cmdDiv(1)", "cmdDiv(3)"})
        child<QPushButton>(*division, arrow)->click();
    ok = shoot(*division, out, "division") && ok;
    return ok ? 0 : 1;
}
