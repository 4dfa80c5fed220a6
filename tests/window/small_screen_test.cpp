// The windows on a laptop's screen (1366 x 768 less a task bar: 1366 x 728 for windows, frames
// included): both fit, every control can be reached, the navigator stays in view, the main
// window comes back where it was closed, long names are shortened with the whole name in the
// tooltip, a huge picture is seen whole, and a picture named on the command line opens.

#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

#include "form/window_place.h"
#include "window/big_pic_window.h"
#include "window/widgets.h"
#include "window_fixture.h"

using namespace uitest;
using orv::window::MainWindow;

namespace {

const QRect kScreen(0, 0, 1366, 728);

template <typename T = QWidget>
T* child(QWidget* parent, const char* name) {
    T* found = parent->findChild<T*>(QString::fromUtf8(name));
    if (!found) qFatal("no widget %s", name);
    return found;
}

// Whether `w` shows wholly inside its window's client area.
bool inWindow(const QWidget* w) {
    const QRect r(w->mapTo(w->window(), QPoint()), w->size());
    return w->window()->rect().contains(r);
}

}  // namespace

class SmallScreenTest : public QObject {
    Q_OBJECT

private slots:
    void bothWindowsFitAndEveryControlIsReached();
    void theMainWindowComesBackWhereItWasClosed();
    void aHugePictureIsSeenWholeAndLongNamesAreShortened();
    void aPictureOpensFromTheCommandLine();
};

void SmallScreenTest::bothWindowsFitAndEveryControlIsReached() {
    Window t;
    QCOMPARE(t.w->screen()->availableGeometry(), kScreen);
    QVERIFY(kScreen.contains(t.w->frameGeometry()));
    QVERIFY(t.w->frameGeometry().height() <= 728 && t.w->frameGeometry().width() <= 1366);
    QVERIFY(loadStarField(t, "sky.bmp", 640, 480));

    // The navigation panel and its thumbnail are in view without scrolling.
    QVERIFY(inWindow(t.get("fraView")));
    QVERIFY(t.w->thumbnail()->isVisible());
    QVERIFY(inWindow(t.w->thumbnail()));
    QVERIFY(t.w->thumbnail()->width() >= 150);
    // Every control either lies in the window or in the left column, which scrolls it into
    // view.
    auto* column = t.get<QScrollArea>("column");
    int reached = 0;
    for (QWidget* w : t.w->centralWidget()->findChildren<QWidget*>()) {
        if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLineEdit*>(w)) continue;
        if (!w->isVisibleTo(t.w.get())) continue;
        if (column->widget()->isAncestorOf(w)) {
            column->ensureWidgetVisible(w, 0, 0);
            const QRect r(w->mapTo(column->viewport(), QPoint()), w->size());
            QVERIFY2(column->viewport()->rect().contains(r), qPrintable(w->objectName()));
        } else {
            QVERIFY2(inWindow(w), qPrintable(w->objectName()));
        }
        ++reached;
    }
    QVERIFY(reached > 40);

    // The division window: at (400, 100), as large as the screen leaves there, its tile view
    // scrolling.
    const QString big = t.dir.filePath("m42.bmp");
    writeStarField(big, 1200, 1000);
    QTest::mouseClick(t.get("cmdShowBigPic"), Qt::LeftButton);
    orv::window::BigPicWindow* division = t.w->bigPicWindow();
    QVERIFY(division && division->isVisible());
    QTRY_VERIFY(kScreen.contains(division->frameGeometry()));
    QCOMPARE(division->pos(), QPoint(400, 100));
    QVERIFY(division->frameGeometry().right() >= 1366 - 4);
    {
        ModalAnswerer answers(big);
        QTest::mouseClick(child(division, "cmdBigPic(0)"), Qt::LeftButton);
    }
    QCOMPARE(division->tile()->size(), QSize(600, 600));
    auto* tiles = division->findChild<QScrollArea*>("picDivPicArea");
    // The tile view ends inside the window; what it cannot show, it scrolls to.
    QVERIFY(inWindow(tiles));
    QVERIFY(tiles->width() < 600);
    QVERIFY(tiles->horizontalScrollBar()->maximum() > 0);
    QVERIFY(tiles->viewport()->width() + tiles->horizontalScrollBar()->maximum() >= 600);
    QVERIFY(tiles->viewport()->height() + tiles->verticalScrollBar()->maximum() >= 600);
    // A click on the preview picks the tile there: (1, 0) lies right of the middle.
    QWidget* preview = division->preview();
    QTest::mouseClick(preview, Qt::LeftButton, Qt::NoModifier,
                      QPoint(preview->width() * 3 / 4, preview->height() / 4));
    QCOMPARE(child<QLabel>(division, "lblDivX")->text(), QString("1"));
    QCOMPARE(child<QLabel>(division, "lblDivY")->text(), QString("0"));
    // Its folder is the picture's, and it stays in front after its message boxes.
    QCOMPARE(t.w->bigPicForm().dirBach.Path, t.folder());
    division->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(division));
    {
        ModalAnswerer answers;
        QTest::mouseClick(child(division, "cmdSaveFile"), Qt::LeftButton);
        QVERIFY(answers.messages.last().endsWith("に分割ファイルを保存しました。"));
    }
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(division));
}

void SmallScreenTest::theMainWindowComesBackWhereItWasClosed() {
    QTemporaryDir dir;
    const auto folders = orv::core::ProgramFolders::at(dir.path().toStdString());
    const std::string file = orv::form::windowPlaceFile(folders);
    {
        MainWindow w(folders);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.move(120, 60);
        w.resize(1000, 600);
        QTRY_COMPARE(w.pos(), QPoint(120, 60));
        QVERIFY(w.close());
    }
    const auto place = orv::form::readWindowPlace(file);
    QVERIFY(place);
    QCOMPARE(QRect(place->left, place->top, place->width, place->height),
             QRect(120, 60, 1000, 600));
    {
        MainWindow w(folders);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_COMPARE(w.pos(), QPoint(120, 60));
        QCOMPARE(w.size(), QSize(1000, 600));
    }
    // A place from a larger screen comes onto this one, whole.
    QVERIFY(orv::form::writeWindowPlace(file, {900, 500, 1800, 1000, false}).ok());
    MainWindow w(folders);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY(kScreen.contains(w.frameGeometry()));
}

void SmallScreenTest::aHugePictureIsSeenWholeAndLongNamesAreShortened() {
    Window t;
    const char* name = "a-very-long-name-of-a-picture-from-the-observatory-4096.bmp";
    QVERIFY(loadStarField(t, name, 4096, 4096));
    QWidget* viewport = t.get("fraPickUp");
    QTest::mouseClick(t.get("cmdZoomFit"), Qt::LeftButton);
    QVERIFY(t.get("cmdZoomFit")->toolTip().endsWith("(F)"));
    orv::window::PictureLayer* layer = t.w->layer(0);
    QVERIFY(viewport->rect().contains(layer->geometry()));
    QVERIFY(layer->width() == viewport->width() || layer->height() == viewport->height());
    // First sampled quickly, then smoothly once the view is still.
    QTRY_VERIFY(layer->smoothlyReduced());
    QCOMPARE(t.w->workspace().ZoomLevel, int16_t{0});
    // ◎ back to scale 1; F fits again.
    QTest::mouseClick(t.get("cmdZoom(2)"), Qt::LeftButton);
    QCOMPARE(layer->size(), QSize(4096, 4096));
    QTest::mouseClick(layer, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::keyClick(viewport, Qt::Key_F);
    QVERIFY(viewport->rect().contains(layer->geometry()));

    // The name in 処理画像 is shortened, whole in its tooltip.
    auto* id = t.get<orv::window::ElidedLabel>("lblDivId");
    QVERIFY(id->text().contains(QChar(0x2026)));
    QVERIFY2(id->text().startsWith("a-ve") && id->text().endsWith(".bmp"), qPrintable(id->text()));
    QCOMPARE(id->toolTip(), QString(name));
    QVERIFY(id->fontMetrics().horizontalAdvance(id->text()) <= id->width());
    // So is a message longer than its line (the advice of a full cluster table).
    auto* msg = t.get<orv::window::ElidedLabel>("lblMsg");
    const QString advice =
        "クラスタが上限の 50000 個に達したため、401 行目から下は抽出されていません。"
        "クラスタ閾値を推奨の 20 に上げるか、分割画像で処理してください。";
    t.w->form().lblMsg.Caption = advice.toStdString();
    t.w->syncFromModel();
    QVERIFY(msg->elided());
    QVERIFY(msg->fontMetrics().horizontalAdvance(msg->text()) <= msg->width());
    QCOMPARE(msg->toolTip(), advice);
}

void SmallScreenTest::aPictureOpensFromTheCommandLine() {
    // The desktop entry beside the program names it and the picture types it opens.
    QFile entry(ORV_DESKTOP_FILE);
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    QVERIFY(text.startsWith("[Desktop Entry]\n"));
    QVERIFY(text.contains(QString("\nExec=\"%1\" %f\n").arg(ORV_PROGRAM)));
    for (const char* type :
         {"image/bmp;", "image/jpeg;", "image/fits;", "image/png;", "image/tiff;"})
        QVERIFY2(text.contains(type), type);

    Window t;
    writeStarField(t.dir.filePath("night.bmp"), 160, 120);
    t.w->openPicture(t.dir.filePath("night.bmp"));
    QCOMPARE(t.w->workspace().ProcStage, int16_t{orv::core::kStageLoaded});
    QCOMPARE(t.w->workspace().DoFileName, std::string("night.bmp"));
    QCOMPARE(t.w->windowTitle(), QString("night.bmp - Orvandel"));
    ModalAnswerer answers;
    t.w->openPicture(t.dir.filePath("missing.bmp"));
    QCOMPARE(answers.messages.size(), 1);
    QVERIFY(answers.messages[0].startsWith("ファイルが見つかりません: "));
    QCOMPARE(t.w->workspace().DoFileName, std::string("night.bmp"));
}

QTEST_MAIN(SmallScreenTest)
#include "small_screen_test.moc"
