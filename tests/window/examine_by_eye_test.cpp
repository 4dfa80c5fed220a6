// Looking closely and correcting by eye in the real window: the pointer with its modifiers,
// the wheel, the keys, the magnifier, the navigator, the hand tool, the information panel
// and its edit frame, and the window's behaviour on a small screen.

#include <QCheckBox>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QThread>
#include <QWheelEvent>
#include <cmath>
#include <filesystem>

#include "control/startup.h"
#include "extract/analysis.h"
#include "form/class_colours.h"
#include "form/message_log.h"
#include "input/background.h"
#include "input/clusters.h"
#include "view/overlay.h"
#include "window/navigation_widgets.h"
#include "window_fixture.h"

using namespace uitest;

namespace {

// A 400 x 300 field of 3 x 3 dots every 40 pixels (area objects centred at 20.5 + 40 k),
// detected step by step (stage 10).
void detectStarField(Window& t) {
    QVERIFY(loadStarField(t, "field.bmp", 400, 300));
    for (auto step : {orv::input::cmdIdoHeikin_Click, orv::input::cmdPickup_Click,
                      orv::extract::cmdCenterCal_Click})
        t.w->runHandler(step);
    QCOMPARE(t.w->workspace().ProcStage, int16_t{orv::core::kStageAnalysed});
}

// Where picture point (x, y) lies on layer i, in its widget's pixels.
QPoint onLayer(const Window& t, double x, double y, int i = 4) {
    const auto& p = t.w->form().picHSC[i];
    return QPoint(static_cast<int>(x * p.Width / p.ScaleWidth / 15),
                  static_cast<int>(y * p.Height / p.ScaleHeight / 15));
}

// A mouse event with modifiers on a widget, through the event filters as a real one.
void send(QWidget* w, QEvent::Type type, QPoint at, Qt::KeyboardModifiers mods,
          Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease || type == QEvent::MouseMove
                                      ? Qt::NoButton
                                      : Qt::MouseButtons(button);
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held, mods);
    QApplication::sendEvent(w, &e);
}

void click(QWidget* w, QPoint at, Qt::KeyboardModifiers mods = Qt::NoModifier,
           Qt::MouseButton button = Qt::LeftButton) {
    send(w, QEvent::MouseButtonPress, at, mods, button);
    send(w, QEvent::MouseButtonRelease, at, mods, button);
}

void wheel(QWidget* w, QPoint at, int angle, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWheelEvent e(QPointF(at), w->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, angle),
                  Qt::NoButton, mods, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

// The picture point under viewport pixel (px, py).
QPointF pictureAt(const Window& t, double px, double py) {
    const auto& p = t.w->form().picHSC[0];
    return {(px * 15 - p.Left) / p.Width * p.ScaleWidth,
            (py * 15 - p.Top) / p.Height * p.ScaleHeight};
}

}  // namespace

class InspectionTest : public QObject {
    Q_OBJECT

private slots:
    void pointerEventsCarryTheirModifiers();
    void wheelAndKeysZoomPanAndReview();
    void magnifierFollowsThePointer();
    void navigatorAndHandTool();
    void editFrameAndNoteReachTheFilesAndComeBack();
    void smallScreensLongCountsAndCancelledDialogs();
    void editsShowOnTheScreenAtOnce();
    void aPauseEndsWhenTheWindowOutlastsIt();
};

void InspectionTest::pointerEventsCarryTheirModifiers() {
    Window t;
    detectStarField(t);
    auto& ws = t.w->workspace();
    QTest::mouseClick(t.get("cmdZoom(0)"), Qt::LeftButton);  // scale 2
    QCOMPARE(ws.ZoomLevel, int16_t{1});
    QWidget* layer = t.w->layer(4);
    const int32_t dot = ws.ClusterMap(61, 21);
    QVERIFY(dot > 0);

    click(layer, onLayer(t, 60.5, 20.5), Qt::NoModifier, Qt::RightButton);
    QCOMPARE(ws.SelStarNo, dot);
    QVERIFY(t.get("fraStarInfo")->isVisible());
    QCOMPARE(t.get<QLabel>("lblStarInfoData(12)")->text(), QString("面積天体"));
    QCOMPARE(t.get<QLabel>("lblStarInfoData(0)")->text(), QString("60.5"));

    click(layer, onLayer(t, 60.5, 20.5), Qt::ShiftModifier);
    QCOMPARE(ws.Clusters[dot].EditAtr, int16_t{1});
    QCOMPARE(t.get<QLabel>("lblStarAtr1(0)")->text(), QString("1"));
    QCOMPARE(t.get<QLabel>("lblStarInfoData(13)")->text(), QString("手動削除"));

    const int32_t before = ws.MaxStarNo;
    click(layer, onLayer(t, 100.25, 110.75), Qt::ControlModifier);
    QCOMPARE(ws.MaxStarNo, before + 1);
    QCOMPARE(ws.Stars[before + 1].CenterX, 100.0f);  // half-pixel steps at scale 2
    QCOMPARE(ws.Stars[before + 1].CenterY, 110.5f);
    QCOMPARE(t.get<QLabel>("lblStarAtr1(1)")->text(), QString("1"));

    // Alt over another dot shows it; a plain move only the position.
    send(layer, QEvent::MouseMove, onLayer(t, 140.5, 60.5), Qt::AltModifier);
    QCOMPARE(ws.SelStarNo, ws.ClusterMap(141, 61));
    send(layer, QEvent::MouseMove, onLayer(t, 180.5, 60.5), Qt::NoModifier);
    QCOMPARE(ws.SelStarNo, ws.ClusterMap(141, 61));
    QCOMPARE(t.get<QLabel>("lblXY")->text(), QString("X : 180  Y : 60  a : 200"));

    click(layer, onLayer(t, 150.5, 150.5));  // nothing there
    QCOMPARE(ws.SelStarNo, 0);
    QVERIFY(t.get("fraStarInfo")->isHidden());
}

void InspectionTest::wheelAndKeysZoomPanAndReview() {
    Window t;
    detectStarField(t);
    auto& ws = t.w->workspace();
    QWidget* viewport = t.get("fraPickUp");
    QWidget* layer = t.w->layer(4);

    // The wheel zooms about the pointer: the picture point under it stays, and the position
    // line follows it at once. (A wheel event from the window system goes up from the layer,
    // which leaves it, to the viewport.)
    const QPoint at(150, 100);
    const QPointF before = pictureAt(t, at.x(), at.y());
    QTest::mouseMove(layer, at);
    QCOMPARE(t.get<QLabel>("lblXY")->text(), QString("X : 150  Y : 100  a : 12"));
    wheel(viewport, at, 240);
    QCOMPARE(ws.ZoomLevel, int16_t{2});
    QCOMPARE(pictureAt(t, at.x(), at.y()), before);
    // Out again: the picture (800 x 600 at scale 2) fits the viewport and comes wholly into
    // view; the line shows the point under the pointer now.
    wheel(viewport, at, -120);
    QCOMPARE(ws.ZoomLevel, int16_t{1});
    QCOMPARE(t.w->layer(4)->geometry(), QRect(0, 0, 800, 600));
    QCOMPARE(t.get<QLabel>("lblXY")->text(), QString("X : 75  Y : 50  a : 12"));
    // Shift turns the wheel into a sideways pan.
    const double left = t.w->form().picHSC[0].Left;
    wheel(viewport, at, -120, Qt::ShiftModifier);
    QCOMPARE(ws.ZoomLevel, int16_t{1});
    QCOMPARE(t.w->form().picHSC[0].Left, left - 60 * 15);

    // Keys with the picture focused.
    // (A click between the dots: nothing selected.)
    const QPointF under = pictureAt(t, at.x(), at.y());
    QTest::mouseClick(layer, Qt::LeftButton, Qt::NoModifier,
                      onLayer(t, 40 * std::round(under.x() / 40), 40 * std::round(under.y() / 40)));
    QVERIFY(viewport->hasFocus());
    QCOMPARE(ws.SelStarNo, 0);
    QTest::keyClick(viewport, Qt::Key_0);
    QCOMPARE(ws.ZoomLevel, int16_t{0});
    QCOMPARE(t.w->form().picHSC[2].Left, 0.0);
    QTest::keyClick(viewport, Qt::Key_Plus);
    QTest::keyClick(viewport, Qt::Key_Plus);
    QCOMPARE(ws.ZoomLevel, int16_t{2});
    QTest::keyClick(viewport, Qt::Key_Minus);
    QCOMPARE(ws.ZoomLevel, int16_t{1});
    QTest::keyClick(viewport, Qt::Key_Right);  // the part further right: the picture moves left
    QCOMPARE(t.w->form().picHSC[0].Left, -(viewport->width() / 2.0) * 15);
    QTest::keyClick(viewport, Qt::Key_Left);
    QCOMPARE(t.w->form().picHSC[0].Left, 0.0);

    // The review queue: N and P, a class, and the edit keys.
    QTest::keyClick(viewport, Qt::Key_N);
    QCOMPARE(ws.SelStarNo, 1);
    QTest::keyClick(viewport, Qt::Key_N);
    QCOMPARE(ws.SelStarNo, 2);
    const int total = static_cast<int>(ws.StarAtrNo[0][2]);
    QCOMPARE(t.get<QLabel>("lblMsg")->text(), QString("全結果 2 / %1").arg(total));
    QTest::keyClick(viewport, Qt::Key_P);
    QTest::keyClick(viewport, Qt::Key_P);
    QCOMPARE(ws.SelStarNo, total);  // round the end
    const QPointF centre = pictureAt(t, viewport->width() / 2.0, viewport->height() / 2.0);
    QCOMPARE(centre.x(), double(ws.Stars[total].CenterX));
    QCOMPARE(centre.y(), double(ws.Stars[total].CenterY));
    QTest::keyClick(viewport, Qt::Key_3);
    QCOMPARE(t.get<QLabel>("lblMsg")->text(), QString("円状天体はありません。"));
    QTest::keyClick(viewport, Qt::Key_2);
    QCOMPARE(ws.SelStarNo, 1);
    QCOMPARE(t.get<QLabel>("lblMsg")->text(), QString("面積天体 1 / %1").arg(total));

    QTest::keyClick(viewport, Qt::Key_Delete);
    QCOMPARE(ws.Clusters[1].EditAtr, int16_t{1});
    QCOMPARE(t.get<QLabel>("lblStarAtr1(0)")->text(), QString("1"));
    QTest::keyClick(viewport, Qt::Key_Backspace);
    QCOMPARE(ws.Clusters[1].EditAtr, int16_t{0});
    {
        ModalAnswerer answers;
        QTest::keyClick(viewport, Qt::Key_U);  // an area object is no noise
        QCOMPARE(answers.messages, QStringList{"ノイズではありません。"});
    }
    QCOMPARE(ws.Clusters[1].Atr, int16_t{2});
}

void InspectionTest::magnifierFollowsThePointer() {
    Window t;
    detectStarField(t);
    auto* magnifier = t.w->magnifier();
    QVERIFY(magnifier->isHidden());
    QTest::mouseClick(t.get("chkMag"), Qt::LeftButton);
    QVERIFY(magnifier->isVisible());
    QWidget* viewport = t.get("fraPickUp");
    QWidget* layer = t.w->layer(4);
    const auto& mag = t.w->form().picMag.canvas;
    const auto& marked = t.w->form().picHSC[4].canvas;
    for (QPoint p : {QPoint(20, 20), QPoint(300, 260)}) {
        const int paints = magnifier->paints();
        QTest::mouseMove(layer, onLayer(t, p.x(), p.y()));
        // The pixel under the pointer fills the middle of the magnifier, marks included.
        QCOMPARE(mag.pixel(155, 155), marked.pixel(p.x(), p.y()));
        QCOMPARE(mag.pixel(155 - 40, 155), marked.pixel(p.x() - 4, p.y()));
        QTRY_VERIFY(magnifier->paints() > paints);
        // It stays on the other side of the viewport from the pointer.
        const int pointerX = layer->mapTo(viewport, onLayer(t, p.x(), p.y())).x();
        const int middle = viewport->width() / 2;
        QCOMPARE(magnifier->geometry().center().x() < middle, pointerX > middle);
    }
    QCOMPARE(marked.pixel(20, 20), orv::form::kColourArea);
    QTest::mouseClick(t.get("chkMag"), Qt::LeftButton);
    QVERIFY(magnifier->isHidden());
}

void InspectionTest::navigatorAndHandTool() {
    Window t;
    // The hand tool's pictures in the program's folder.
    QImage icon(23, 22, QImage::Format_RGB32);
    icon.fill(Qt::white);
    QVERIFY(icon.save(t.dir.filePath("hand-on.bmp"), "BMP"));
    detectStarField(t);
    auto& ws = t.w->workspace();
    auto* hand = t.get<orv::window::PictureButtonWidget>("cmdZoom(3)");
    QVERIFY(!hand->showsPicture());  // no hand-off.bmp: the caption
    QCOMPARE(hand->text(), QString("手"));
    QTest::mouseClick(hand, Qt::LeftButton);
    QCOMPARE(ws.HandMode, int16_t{-1});
    QVERIFY(hand->showsPicture());
    QVERIFY(hand->isChecked());
    QCOMPARE(t.get("fraPickUp")->cursor().shape(), Qt::SizeAllCursor);

    // Dragging moves all layers with the pointer; no click selects meanwhile.
    QWidget* layer = t.w->layer(4);
    send(layer, QEvent::MouseButtonPress, QPoint(100, 100), Qt::NoModifier);
    send(layer, QEvent::MouseMove, QPoint(130, 90), Qt::NoModifier);
    send(layer, QEvent::MouseButtonRelease, QPoint(100, 100) + QPoint(-2, 3), Qt::NoModifier);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(t.w->form().picHSC[i].Left, (30 - 2) * 15.0);
        QCOMPARE(t.w->layer(i)->pos(), QPoint(28, -7));
    }
    QCOMPARE(ws.SelStarNo, 0);
    QTest::mouseClick(hand, Qt::LeftButton);
    QCOMPARE(ws.HandMode, int16_t{0});

    // A click on the thumbnail centres the picture point shown there.
    QWidget* navigator = t.get("shpZoomArea");
    const QWidget* thumbnail = t.w->thumbnail();
    QTest::mouseClick(navigator, Qt::LeftButton, Qt::NoModifier,
                      thumbnail->geometry().topLeft() + QPoint(225, 75));
    QWidget* viewport = t.get("fraPickUp");
    const QPointF centre = pictureAt(t, viewport->width() / 2.0, viewport->height() / 2.0);
    QCOMPARE(centre, QPointF(300, 100));
    // The rectangle shows the viewport's part of the picture.
    const auto& r = t.w->form().shpZoomArea;
    QVERIFY(r.Visible);
    QCOMPARE(r.Left, thumbnail->x() * 15.0 + 4500 * (300.0 - viewport->width() / 2.0) / 400);
}

void InspectionTest::editFrameAndNoteReachTheFilesAndComeBack() {
    Window t;
    detectStarField(t);
    auto& ws = t.w->workspace();
    click(t.w->layer(4), onLayer(t, 100.5, 60.5));
    const int32_t n = ws.SelStarNo;
    QVERIFY(n > 0);
    QVERIFY(t.get("fraEdit")->isHidden());
    QTest::mouseClick(t.get("cmdEdit"), Qt::LeftButton);
    QVERIFY(t.get("fraEdit")->isVisible());
    QTest::mouseClick(t.get("cmdEditDelete"), Qt::LeftButton);
    QCOMPARE(ws.Clusters[n].EditAtr, int16_t{1});
    QVERIFY(t.get("cmdEditDelete")->isHidden());
    QVERIFY(t.get("cmdEditUnDelete")->isVisible());
    QVERIFY(t.get("shpEditDelete")->isHidden());
    auto* note = t.get<QLineEdit>("txtStarNote");
    QTest::keyClicks(note, "blend, \"check\"");
    QCOMPARE(ws.Clusters[n].Note, std::string("blend, \"check\""));
    QTest::mouseClick(t.get("cmdEditClose"), Qt::LeftButton);
    QVERIFY(t.get("fraEdit")->isHidden());
    const QStringList counts = shownCounts(t);
    QCOMPARE(counts[6], QString("1"));

    {
        ModalAnswerer answers;
        QTest::mouseClick(t.get("cmdSaveData"), Qt::LeftButton);
    }
    // After the steps' four lines (background, noise, clusters, analysis).
    QCOMPARE(logTexts(orv::core::logFilePath(ws)).mid(4),
             (QStringList{"・削除指定　( " + QString::number(n) + ")", "■データ保存完了"}));
    // Read back: the dialog starts in the picture's result folder.
    t.stage(orv::core::kStageLoaded);
    const std::string dir = t.folder() + "/field.bmp.dir";
    {
        ModalAnswerer answers(QString::fromStdString(dir + "/field.bmp.dat"));
        QTest::mouseClick(t.get("cmdReadData"), Qt::LeftButton);
        QCOMPARE(answers.folders, QStringList{QString::fromStdString(dir)});
    }
    QCOMPARE(ws.ProcStage, int16_t{orv::core::kStageRead});
    QCOMPARE(shownCounts(t), counts);
    QCOMPARE(ws.Clusters[n].EditAtr, int16_t{1});
    QCOMPARE(t.w->form().picHSC[4].canvas.pixel(100, 60), orv::form::kColourDeleted);
    click(t.w->layer(4), onLayer(t, 100.5, 60.5));
    QCOMPARE(t.get<QLabel>("lblStarInfoData(13)")->text(), QString("手動削除"));
    QCOMPARE(note->text(), QString("blend, \"check\""));
}

void InspectionTest::smallScreensLongCountsAndCancelledDialogs() {
    Window t;
    // The window fits the screen.
    const QRect available = t.w->screen()->availableGeometry();
    QVERIFY(t.w->frameGeometry().width() <= available.width());
    QVERIFY(t.w->frameGeometry().height() <= available.height());

    // A low window: the navigation panel stays at the foot of the left column with a smaller
    // thumbnail (half its size at least); the controls above it scroll.
    t.w->resize(1366, 560);
    QApplication::processEvents();
    auto* column = t.get<QScrollArea>("column");
    QVERIFY(column->verticalScrollBar()->maximum() > 0);
    QWidget* view = t.get("fraView");
    QCOMPARE(view->geometry().bottom(), t.w->centralWidget()->height() - 3);
    QVERIFY(column->geometry().bottom() < view->geometry().top());
    QCOMPARE(t.get("thumbnailArea")->width(), 150);
    t.w->resize(1366, 1040);
    QApplication::processEvents();
    QCOMPARE(column->verticalScrollBar()->maximum(), 0);
    QCOMPARE(t.get("thumbnailArea")->width(), 300);

    // Five-digit counts stay clear of their captions.
    detectStarField(t);
    auto& counts = t.w->workspace().StarAtrNo;
    for (int j = 1; j <= 5; ++j) counts[0][j] = 50000;
    counts[1][1] = counts[1][2] = 50000;
    t.w->runHandler(orv::view::OV_DispResultNo);
    for (int i = 0; i < 8; ++i) {
        const char* names[8] = {"lblStarNo",      "lblStarAtr(0)", "lblStarAtr(1)",
                                "lblStarAtr(2)",  "lblStarAtr(3)", "lblStarAtr(4)",
                                "lblStarAtr1(0)", "lblStarAtr1(1)"};
        auto* value = t.get<QLabel>(names[i]);
        auto* caption = t.get<QLabel>(QString("lblStarCaption(%1)").arg(i).toUtf8());
        if (i > 0) QVERIFY(value->fontMetrics().horizontalAdvance(value->text()) <= value->width());
        QVERIFY2(caption->geometry().right() < value->geometry().left(), names[i]);
    }

    // Cancelling the file dialog loads nothing and loses nothing.
    const int32_t results = t.w->workspace().MaxStarNo;
    {
        ModalAnswerer answers;
        QTest::mouseClick(t.get("cmdDataIn(1)"), Qt::LeftButton);
        QCOMPARE(answers.folders.size(), 1);  // one dialog, cancelled
    }
    QCOMPARE(t.w->workspace().ProcStage, int16_t{orv::core::kStageAnalysed});
    QCOMPARE(t.w->workspace().MaxStarNo, results);
    QCOMPARE(t.shownLayers(), QString("4"));
    QVERIFY(t.get("cmdSaveData")->isEnabled());
    QVERIFY(t.get<QLabel>("lblMsg")->text().contains("何も読み込みませんでした"));
}

// A deletion and a point added by hand show at once over the marked layer, whose drawing
// stays as the edits make it; at scale 2 the Shift-click's deletion shows its light-blue rim.
// The next 再描画 draws them into the layer and the screen marks go.
void InspectionTest::editsShowOnTheScreenAtOnce() {
    Window t;
    detectStarField(t);
    QTest::mouseClick(t.get("cmdZoom(0)"), Qt::LeftButton);  // scale 2
    QWidget* layer = t.w->layer(4);
    auto colourAt = [&](double x, double y) {
        return layer->grab().toImage().pixel(onLayer(t, x, y)) | 0xFF000000u;
    };
    const uint64_t drawn = t.w->form().picHSC[4].canvas.revision();

    // Shift-click on the area object at (60.5, 20.5): its outline (the 3 x 3 square's border)
    // grey at once, and a light-blue rim just outside its dot.
    const orv::form::Rgb area = orv::form::kColourArea;
    QCOMPARE(colourAt(59.5, 19.5), area);
    click(layer, onLayer(t, 60.5, 20.5), Qt::ShiftModifier);
    QCOMPARE(colourAt(59.5, 19.5), orv::form::kColourDeleted);
    QCOMPARE(t.w->form().picHSC[4].canvas.pixel(59, 19), area);
    const QImage shot = layer->grab().toImage();
    const QPoint centre = onLayer(t, 60.5, 20.5);
    bool rim = false;
    for (int dy = -4; dy <= 4; ++dy)
        for (int dx = -4; dx <= 4; ++dx)
            rim = rim || (shot.pixel(centre + QPoint(dx, dy)) | 0xFF000000u) ==
                             orv::form::kColourDeletedRim;
    QVERIFY(rim);

    // Ctrl-click between the dots: a green dot at once, nothing drawn into the layer yet.
    const uint64_t before = t.w->form().picHSC[4].canvas.revision();
    click(layer, onLayer(t, 80.5, 80.5), Qt::ControlModifier);
    QCOMPARE(colourAt(80.5, 80.5), orv::form::kColourAdded);
    QCOMPARE(t.w->form().picHSC[4].canvas.revision(), before);
    QVERIFY(before > drawn);  // the Shift-click drew its grey dot into the layer

    // 再描画 draws the edits into the layer itself and forgets the screen marks.
    QTest::mouseClick(t.get("cmdReDisp"), Qt::LeftButton);
    QVERIFY(t.w->form().editMarks.byResult.empty());
    QCOMPARE(t.w->form().picHSC[4].canvas.pixel(80, 80), orv::form::kColourAdded);
    QCOMPARE(colourAt(59.5, 19.5), orv::form::greyRgb(200));  // no outline for a deleted one
}

// The pause of a step keeps the window painting; when the painting takes longer than what is
// left of the pause, the pause ends (it used to sleep for ever).
void InspectionTest::aPauseEndsWhenTheWindowOutlastsIt() {
    int syncs = 0;
    orv::window::QtHost host(nullptr, [&syncs] {
        ++syncs;
        QThread::msleep(8);
    });
    host.sleepMs(5);
    host.sleepMs(12);
    QVERIFY(syncs >= 2);
}

QTEST_MAIN(InspectionTest)
#include "examine_by_eye_test.moc"
