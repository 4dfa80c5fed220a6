// The PSF page in the real window: a click on a star with the page open plots its profile and
// fills the labels; 採用, 保存, 新規 and 読込 reach the files and the labels.

#include <QLabel>
#include <QLineEdit>
#include <filesystem>

#include "control/startup.h"
#include "core/numeric.h"
#include "extract/analysis.h"
#include "extract/records.h"
#include "input/background.h"
#include "input/clusters.h"
#include "window_fixture.h"

using namespace uitest;

class PsfWindowTest : public QObject {
    Q_OBJECT

private slots:
    void aClickedStarIsMeasuredAdoptedSavedAndReadBack();
};

void PsfWindowTest::aClickedStarIsMeasuredAdoptedSavedAndReadBack() {
    Window t;
    QVERIFY(loadGeneratedField(t, "field.bmp", 400, 300, 60));
    for (auto step : {orv::input::cmdIdoHeikin_Click, orv::input::cmdPickup_Click,
                      orv::extract::cmdCenterCal_Click})
        t.w->runHandler(step);
    auto& ws = t.w->workspace();
    QCOMPARE(ws.ProcStage, int16_t{orv::core::kStageAnalysed});
    ws.settings.WorkPath = t.folder();
    ws.settings.PSFFactorRSD = 2;
    ws.settings.PSFAnnulus = 4;
    ws.settings.PSFDAnnulus = 2;
    ModalAnswerer answers(QString::fromStdString(t.folder() + "/PSFData.ini"));
    // The brightest circular result well inside the picture.
    int32_t star = 0;
    for (int32_t n = 1; n <= ws.MaxStarNo; ++n) {
        const auto& s = ws.Stars[n];
        if (ws.Clusters[n].Atr == orv::extract::kAtrCircular && s.CenterX > 30 && s.CenterX < 370 &&
            s.CenterY > 30 && s.CenterY < 270 &&
            (star == 0 || s.MaxLevel > ws.Stars[star].MaxLevel))
            star = n;
    }
    QVERIFY(star > 0);

    QTest::mouseClick(t.get("cmdMain(1)"), Qt::LeftButton);
    const auto& p = ws.Stars[star];
    const auto& box = t.w->form().picHSC[4];
    const QPoint at(static_cast<int>(p.CenterX * box.Width / box.ScaleWidth / 15),
                    static_cast<int>(p.CenterY * box.Height / box.ScaleHeight / 15));
    QTest::mouseClick(t.w->layer(4), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(ws.psf.PSFStarNo, star);
    QVERIFY(ws.psf.ProfileOwn);
    auto text = [&](const char* name) { return t.get<QLabel>(name)->text(); };
    QCOMPARE(text("lblPSFStarNo"), QString::number(star));
    QCOMPARE(text("lblPSFInfo(0)"),
             QString::fromStdString(orv::core::Format(ws.psf.PSFSigma, "0.00", 7)));
    QCOMPARE(text("lblPSFInfo(5)"),
             QString::fromStdString(orv::core::Format(ws.psf.PSFSky, "###.0", 7)));
    QVERIFY(ws.psf.PSFSigma > 0.5f && ws.psf.PSFSigma < 4);

    QTest::mouseClick(t.get("cmdPSFEntry"), Qt::LeftButton);
    QCOMPARE(text("lblPSFInfo(2)"), QString(" 1"));
    QCOMPARE(text("lblPSFInfo(3)"), text("lblPSFInfo(0)"));

    QTest::mouseClick(t.get("cmdPSFSave"), Qt::LeftButton);
    QVERIFY(std::filesystem::exists(t.folder() + "/PSFData.txt"));
    QTest::mouseClick(t.get("cmdPSFEntryClear"), Qt::LeftButton);
    QCOMPARE(text("lblPSFInfo(2)"), QString("----"));
    QTest::mouseClick(t.get("cmdPSFRead"), Qt::LeftButton);
    QCOMPARE(answers.messages, QStringList({"PSFプロファイルを、ワークフォルダーに保存しました。",
                                            "新しくPSFプロフィールを作成します。よろしいですか？",
                                            "PSFプロファイルを読込ました。"}));
    QCOMPARE(answers.fileFilters, QStringList({"PSFプロファイル(*.ini) (*.ini)"}));
    QCOMPARE(text("lblPSFInfo(2)"), QString(" 1"));
    QCOMPARE(ws.psf.PSFEntries[1].StarNo, star);
}

QTEST_MAIN(PsfWindowTest)
#include "psf_window_test.moc"
