// The astronomer's desk in the real window: the results table (結果一覧), undo and redo of the
// hand edits, the display stretch (表示調整), and clicks anywhere on a result read back.

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QSpinBox>
#include <QTableView>

#include "core/picture_folder.h"
#include "extract/analysis.h"
#include "form/window_place.h"
#include "input/background.h"
#include "input/clusters.h"
#include "view/navigation.h"
#include "window/navigation_widgets.h"
#include "window/results_window.h"
#include "window/stretch_window.h"
#include "window_fixture.h"

using namespace uitest;

namespace {

// A dark field with discs of radius 3.5 (37 pixels) every 40 pixels, of rising brightness,
// detected step by step (stage 10): circular objects centred at (20.5 + 40 i, 20.5 + 40 j).
void detectDiscs(Window& t) {
    QImage image(400, 240, QImage::Format_RGB32);
    image.fill(qRgb(10, 10, 10));
    int k = 0;
    for (int cy = 20; cy < 240; cy += 40)
        for (int cx = 20; cx < 400; cx += 40, ++k) {
            const int v = 60 + (k * 7) % 190;
            for (int y = cy - 4; y <= cy + 4; ++y)
                for (int x = cx - 4; x <= cx + 4; ++x)
                    if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= 12)
                        image.setPixel(x, y, qRgb(v, v, v));
        }
    QVERIFY(image.save(t.dir.filePath("discs.bmp"), "BMP"));
    useTypicalSettings(t);
    QVERIFY(loadNamed(t, "discs.bmp"));
    for (auto step : {orv::input::cmdIdoHeikin_Click, orv::input::cmdPickup_Click,
                      orv::extract::cmdCenterCal_Click})
        t.w->runHandler(step);
    QCOMPARE(t.w->workspace().ProcStage, int16_t{orv::core::kStageAnalysed});
}

QPoint onLayer(const Window& t, double x, double y) {
    const auto& p = t.w->form().picHSC[4];
    return QPoint(static_cast<int>(x * p.Width / p.ScaleWidth / 15),
                  static_cast<int>(y * p.Height / p.ScaleHeight / 15));
}

void click(QWidget* w, QPoint at, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::mouseClick(w, Qt::LeftButton, mods, at);
}

orv::window::ResultsWindow* openTable(Window& t) {
    QTest::keyClick(t.w.get(), Qt::Key_T, Qt::ControlModifier);
    auto* table = t.w->resultsWindow();
    if (table && !QTest::qWaitForWindowExposed(table)) return nullptr;
    return table;
}

// Both files of the result pair.
std::string savedPair(Window& t) {
    ModalAnswerer answers;
    QTest::mouseClick(t.get("cmdSaveData"), Qt::LeftButton);
    const std::string dir = t.folder() + "/discs.bmp.dir/discs.bmp";
    return readAll(dir + ".dat.ini") + readAll(dir + ".dat");
}

}  // namespace

class DeskTest : public QObject {
    Q_OBJECT

private slots:
    void tableListsSortsSelectsAndFollowsEdits();
    void undoAndRedoOfHandEditsByKey();
    void stretchChangesTheViewNeverTheResults();
    void aClickAnywhereOnAReadBackResultSelectsIt();
};

void DeskTest::tableListsSortsSelectsAndFollowsEdits() {
    Window t;
    detectDiscs(t);
    auto& ws = t.w->workspace();
    auto* table = openTable(t);
    QVERIFY(table);
    QCOMPARE(table->windowTitle(), QString("結果一覧 — discs.bmp"));
    auto* model = table->model();
    QCOMPARE(QString::number(model->rowCount()), t.get<QLabel>("lblStarNo")->text());

    // By 積算輝度, brightest first: the sums fall down the rows.
    const int sum = static_cast<int>(orv::view::ResultColumn::SumLevel);
    table->view()->sortByColumn(sum, Qt::DescendingOrder);
    QVERIFY(model->rowCount() > 10);
    for (int r = 0; r + 1 < model->rowCount(); ++r)
        QVERIFY(ws.Stars[model->resultOf(r)].SumLevel >= ws.Stars[model->resultOf(r + 1)].SumLevel);

    // A click selects the result and centres it, as the review step does.
    const int32_t n = model->resultOf(3);
    table->view()->setFocus();
    QTest::mouseClick(table->view()->viewport(), Qt::LeftButton, {},
                      table->view()->visualRect(model->index(3, 1)).center());
    QCOMPARE(ws.SelStarNo, n);
    QVERIFY(t.get("fraStarInfo")->isVisible());
    // Centred as the review step centres: centring again moves nothing.
    const auto& layer = t.w->form().picHSC[0];
    const double leftBefore = layer.Left, topBefore = layer.Top;
    orv::view::centreOn(t.w->ctx(), ws.Stars[n].CenterX, ws.Stars[n].CenterY);
    QCOMPARE(layer.Left, leftBefore);
    QCOMPARE(layer.Top, topBefore);

    // Delete in the table deletes; the main window's count follows. (A refusal's box would be
    // answered.)
    ModalAnswerer answers;
    QTest::keyClick(table->view(), Qt::Key_Delete);
    QCOMPARE(ws.Clusters[n].EditAtr, int16_t{1});
    QCOMPARE(t.get<QLabel>("lblStarAtr1(0)")->text(), QString("1"));
    const int edit = static_cast<int>(orv::view::ResultColumn::EditAtr);
    QCOMPARE(model->data(model->index(model->rowOf(n), edit), Qt::DisplayRole).toString(),
             QString("手動削除"));
    // 復活 in the main window shows in the table at once.
    QTest::mouseClick(t.get("cmdEdit"), Qt::LeftButton);
    QTest::mouseClick(t.get("cmdEditUnDelete"), Qt::LeftButton);
    QCOMPARE(model->data(model->index(model->rowOf(n), edit), Qt::DisplayRole).toString(),
             QString("自動抽出"));
    // A class filter lists that class only.
    auto* classes = table->findChild<QComboBox*>("cboResultClass");
    classes->setCurrentIndex(3);
    for (int r = 0; r < model->rowCount(); ++r)
        QCOMPARE(ws.Clusters[model->resultOf(r)].Atr, int16_t{3});
    // Its place is remembered.
    table->move(table->pos() + QPoint(17, 9));
    const QPoint moved = table->pos();
    table->close();
    QVERIFY(orv::form::readWindowPlace(t.folder() + "/OrvandelResults.ini").has_value());
    QCOMPARE(orv::form::readWindowPlace(t.folder() + "/OrvandelResults.ini")->left, moved.x());
}

void DeskTest::undoAndRedoOfHandEditsByKey() {
    Window t;
    detectDiscs(t);
    auto& ws = t.w->workspace();
    const QStringList counts = shownCounts(t);
    click(t.w->layer(4), onLayer(t, 60.5, 20.5));
    const int32_t n = ws.SelStarNo;
    QVERIFY(n > 0);
    QTest::mouseClick(t.get("cmdEdit"), Qt::LeftButton);
    QTest::mouseClick(t.get("cmdEditDelete"), Qt::LeftButton);
    QCOMPARE(ws.Clusters[n].EditAtr, int16_t{1});
    t.get("fraPickUp")->setFocus();
    QTest::keyClick(t.w.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(ws.Clusters[n].EditAtr, int16_t{0});
    QCOMPARE(shownCounts(t), counts);
    QCOMPARE(t.get<QLabel>("lblStarInfoData(13)")->text(), QString("自動抽出"));
    QTest::keyClick(t.w.get(), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(ws.Clusters[n].EditAtr, int16_t{1});
    QTest::keyClick(t.w.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);  // nothing
    QCOMPARE(t.get<QLabel>("lblMsg")->text(), QString("やり直す編集はありません。"));
    QTest::keyClick(t.w.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(shownCounts(t), counts);
    // The log: the delete, its undoing, its making again, its undoing.
    const QString k = " " + QString::number(n) + ")";
    QCOMPARE(logTexts(orv::core::logFilePath(ws)).mid(4),
             (QStringList{"・削除指定　(" + k, "・削除解除　(" + k, "・削除指定　(" + k,
                          "・削除解除　(" + k}));
}

void DeskTest::stretchChangesTheViewNeverTheResults() {
    Window t;
    detectDiscs(t);
    const std::string plain = savedPair(t);
    auto& ws = t.w->workspace();
    auto levelsNow = [&ws] {
        std::vector<int> v;
        for (int y = 1; y <= ws.ImageHeightP; ++y)
            for (int x = 1; x <= ws.ImageWidthP; ++x) v.push_back(ws.PixelLevel.Level(x, y));
        return v;
    };
    const auto levels = levelsNow();

    // asinh from level 0 to 100 on the input view.
    QTest::mouseClick(t.get("optFrame(3)"), Qt::LeftButton);
    QTest::mouseClick(t.get("cmdStretch"), Qt::LeftButton);
    auto* stretch = t.w->stretchWindow();
    QVERIFY(stretch);
    QVERIFY(QTest::qWaitForWindowExposed(stretch));
    const QImage before = t.w->layer(0)->grab().toImage();
    stretch->findChild<QComboBox*>("cboStretchCurve")->setCurrentIndex(1);
    stretch->findChild<QSpinBox*>("spnStretchWhite")->setValue(100);
    QCOMPARE(t.w->displayStretch().curve, orv::view::StretchCurve::Asinh);
    QCOMPARE(t.w->displayStretch().white, 100);
    const QImage after = t.w->layer(0)->grab().toImage();
    // The sky (level 10) is shown brighter: 255 asinh(1) / asinh(10) = 74.96.
    QCOMPARE(qGray(before.pixel(2, 2)), 10);
    QCOMPARE(qGray(after.pixel(2, 2)), 75);
    // The magnifier shows the input view's square through the stretch too (sky at 36, 40).
    QTest::mouseClick(t.get("chkMag"), Qt::LeftButton);
    QTest::mouseMove(t.w->layer(4), onLayer(t, 40, 40));
    QCOMPARE(t.w->form().picMagSource, 0);
    auto magnified = [&t] { return qGray(t.w->magnifier()->grab().toImage().pixel(116, 156)); };
    QCOMPARE(magnified(), 75);
    // Nothing detected changes: Level, and the files of a new run.
    QVERIFY(levelsNow() == levels);
    for (auto step : {orv::input::cmdIdoHeikin_Click, orv::input::cmdPickup_Click,
                      orv::extract::cmdCenterCal_Click})
        t.w->runHandler(step);
    QCOMPARE(savedPair(t), plain);
    // The standard stretch shows the layer as drawn.
    QTest::mouseClick(stretch->findChild<QPushButton*>("cmdStretchStandard"), Qt::LeftButton);
    QTest::mouseClick(t.get("optFrame(3)"), Qt::LeftButton);
    QCOMPARE(qGray(t.w->layer(0)->grab().toImage().pixel(2, 2)), 10);
    QCOMPARE(magnified(), 10);
}

void DeskTest::aClickAnywhereOnAReadBackResultSelectsIt() {
    for (bool outline : {false, true}) {
        Window t;
        detectDiscs(t);
        auto& ws = t.w->workspace();
        const int32_t n = ws.ClusterMap(101, 61);  // the disc at (100.5, 60.5)
        QVERIFY(n > 0);
        savedPair(t);
        if (outline) QTest::mouseClick(t.get("chkReadOutline"), Qt::LeftButton);
        QCOMPARE(ws.settings.ReadOutlineClick, outline);
        t.stage(orv::core::kStageLoaded);
        {
            ModalAnswerer answers(
                QString::fromStdString(t.folder() + "/discs.bmp.dir/discs.bmp.dat"));
            QTest::mouseClick(t.get("cmdReadData"), Qt::LeftButton);
        }
        QCOMPARE(ws.ProcStage, int16_t{orv::core::kStageRead});
        // 2.5 pixels right of the centre, still on the disc.
        click(t.w->layer(4), onLayer(t, 103.0, 60.5));
        QCOMPARE(ws.SelStarNo, outline ? n : 0);
        click(t.w->layer(4), onLayer(t, 100.5, 60.5));
        QCOMPARE(ws.SelStarNo, n);
    }
}

QTEST_MAIN(DeskTest)
#include "desk_test.moc"
