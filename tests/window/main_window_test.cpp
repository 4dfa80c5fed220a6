// The real main window on the offscreen platform: the widgets show the model, user actions
// reach the handlers, and the window lives through faults and closing.

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numeric>
#include <sstream>

#include "bench/bmp_writer.h"
#include "bench/starfield.h"
#include "core/numeric.h"
#include "core/settings.h"
#include "edit/star_info.h"
#include "form/message_log.h"
#include "form/stage.h"
#include "input/image_load.h"
#include "window/main_window.h"
#include "window/picture_layer.h"
#include "window/widgets.h"
#include "window_fixture.h"

using orv::window::MainWindow;

using namespace uitest;

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void captionsAndTooltipsComeFromTheModel();
    void modeButtonsSwitchPagesAndMoveTheMarker();
    void stageTableReachesTheWidgets();
    void settingsBoxesValidateWhenLeft();
    void viewOptionsSwitchTheShownLayer();
    void flickerAlternatesTheStarLayersOnTheTimer();
    void layersShowTheCanvasScaledWithoutSmoothing();
    void layersRepaintOnlyWhatChangedAndWhatIsExposed();
    void tabOrderAndKeys();
    void faultsAreShownAndTheWindowGoesOn();
    void closingWritesTheSettingsFile();
    void closingIsRefusedWhileAStepRuns();
    void aLoadedPictureReachesLayersAndThumbnail();
    void cancelWorksWhileThePipelineRuns();
    void cancelDuringTheBackgroundStopsBeforeTheClusters();
    void typicalRunDetectsSavesAndReadsBack();
    void exportWritesTheShownResultsWhereTheUserSays();
};

void MainWindowTest::captionsAndTooltipsComeFromTheModel() {
    Window t;
    QCOMPARE(t.w->windowTitle(), QString("Orvandel"));
    const struct {
        const char* name;
        const char* text;
        const char* tip;
    } cases[] = {
        {"Label1(0)", "HALVOREN Orvandel",
         "ダブルクリックすると起動時設定ファイルが編集できます。"},
        {"cmdMain(0)", "●恒星位置検出", "画像から恒星位置を抽出します。"},
        {"cmdMain(1)", " PSF設定", ""},
        {"cmdBachDo", "２．ﾊﾞｯﾁ処理実行",
         "分割画像指定フォームで指定されたバッチ処理を実行します。"},
        {"cmdDataIn(0)", "clipboard", "クリックボードの中にある画像を読み込みます。"},
        {"cmdDoAll", "恒星位置抽出",
         "背景測定・クラスタ抽出・恒星位置検出を自動的に実施します。 (F5)"},
        {"Label1(5)", " 面積", "外形検査を行わないクラスタの最大の面積です。"},
        {"Label1(7)", "横長", ""},
        {"Label1(9)", "検出フィルタ",
         "クラスタ抽出の前に、背景との差をこのσ（ピクセル）のガウス関数で平滑化します。"
         "暗い星が見つかりやすくなります。0 は使いません（0.5〜5）。"},
        {"optChannel(3)", "Y", "RGBデータから計算した輝度Yデータを使用します。"},
        {"chkDisp(4)", "余白外表示", "余白外の抽出結果の表示の有無を設定します。"},
        {"optFrame(2)", "背景画像", "移動平均背景画像を表示します。"},
        {"chkFlicker", "フリッカー", "恒星位置の表示をオンオフ切り替えます。"},
        {"lblStarCaption(0)", "合計", "現在表示されているクラスタの合計です。"},
        {"lblStarAtr1(1)", "0", "手動で追加されたクラスタの合計です。"},
        {"cmdSaveSettingData", "設定保存", "抽出条件を保存します。"},
        {"chkHyotan", " ひょうたん", "「ひょっこりひょうたん島」対策を行うか支持します。"},
        {"cmdCancel", "中止", "クリックすると、一定の処理を終えてから中止します。"},
        {"lblMsg", "", "現在の処理内容が表示されます。"},
        {"lblVersion", "ver 2015/09/27", ""},
    };
    for (const auto& c : cases) {
        QWidget* w = t.get(c.name);
        QString text;
        if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
        if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
        QVERIFY2(text == QString::fromUtf8(c.text), c.name);
        QVERIFY2(w->toolTip() == QString::fromUtf8(c.tip), c.name);
    }
    const char* frames[][2] = {{"fra1", "処理画像"}, {"fra2", "検出設定"}, {"fra3", "検出結果"},
                               {"fra4", "再描画"},   {"fra5", "画像切替"}, {"fra6", "個別処理"}};
    for (const auto& f : frames) QCOMPARE(t.get<QGroupBox>(f[0])->title(), QString::fromUtf8(f[1]));

    // Start-up values: channel B, view "入力画像", all display options and marks on.
    QVERIFY(t.get<QRadioButton>("optChannel(2)")->isChecked());
    QVERIFY(t.get<QRadioButton>("optFrame(3)")->isChecked());
    for (int i = 0; i < 5; ++i)
        QVERIFY(t.get<QCheckBox>(QString("chkDisp(%1)").arg(i).toUtf8())->isChecked());
    QVERIFY(t.get<QCheckBox>("chkCircle")->isChecked());
    QVERIFY(!t.get<QCheckBox>("chkFlicker")->isChecked());
    QVERIFY(t.get("cmdCancel")->isHidden());
    QVERIFY(t.get("barHSC")->isHidden());

    // A caption the program changes reaches the widget.
    t.w->form().lblMsg.Caption = "画像データを読み込んでいます。";
    t.w->form().barHSC.Value = 42;
    t.w->syncFromModel();
    QCOMPARE(t.get<QLabel>("lblMsg")->text(), QString("画像データを読み込んでいます。"));
    QCOMPARE(t.get<QProgressBar>("barHSC")->value(), 42);
}

void MainWindowTest::modeButtonsSwitchPagesAndMoveTheMarker() {
    Window t;
    QWidget* detection = t.get("fraMain(0)");
    QWidget* psf = t.get("fraMain(1)");
    QCOMPARE(detection->geometry(), QRect(10, 70, 300, 556));
    QCOMPARE(psf->geometry(), QRect(10, 70, 300, 556));
    QVERIFY(psf->isHidden());

    QTest::mouseClick(t.get("cmdMain(1)"), Qt::LeftButton);
    QVERIFY(!psf->isHidden());
    QVERIFY(!detection->isEnabled());
    QCOMPARE(t.get<QPushButton>("cmdMain(1)")->text(), QString("● PSF設定"));
    QCOMPARE(t.get<QPushButton>("cmdMain(0)")->text(), QString("恒星位置検出"));
    QVERIFY(!t.get("txtPSFAnnulus")->isHidden());
    // The PSF page covers the detection controls: what lies under 恒星位置抽出 is its own.
    QWidget* doAll = t.get("cmdDoAll");
    QWidget* top =
        psf->parentWidget()->childAt(doAll->mapTo(psf->parentWidget(), doAll->rect().center()));
    QVERIFY(top == psf || psf->isAncestorOf(top));

    QTest::mouseClick(t.get("cmdMain(2)"), Qt::LeftButton);
    QVERIFY(psf->isHidden());
    QVERIFY(!t.get("fraMain(2)")->isHidden());

    QTest::mouseClick(t.get("cmdMain(0)"), Qt::LeftButton);
    QVERIFY(detection->isEnabled());
    QVERIFY(t.get("fraMain(2)")->isHidden());
    QCOMPARE(t.get<QPushButton>("cmdMain(0)")->text(), QString("●恒星位置検出"));
}

void MainWindowTest::stageTableReachesTheWidgets() {
    Window t;
    // Everything the stage decides, as the widgets show it.
    const char* controls[] = {"cmdShowBigPic", "cmdBachDo",    "cmdReadData", "cmdDataIn(0)",
                              "cmdDataIn(1)",  "cmdDataIn(2)", "fra1",        "fra2",
                              "fra3",          "fra4",         "fra5",        "fra6",
                              "cmdDoAll",      "cmdIdoHeikin", "cmdPickup",   "cmdCenterCal",
                              "cmdSaveData",   "fraView",      "optFrame(0)", "optFrame(3)"};
    auto snapshot = [&] {
        QString s = t.shownLayers() + ":";
        for (const char* name : controls) {
            QWidget* w = t.get(name);
            s += QString("%1%2").arg(w->isVisible() ? 'V' : '-').arg(w->isEnabled() ? 'E' : '-');
            if (auto* b = qobject_cast<QAbstractButton*>(w)) s += b->isChecked() ? "*" : "";
        }
        return s;
    };

    t.stage(10);
    const QString ten = snapshot();
    t.stage(3);
    t.stage(12);
    QCOMPARE(snapshot(), ten);
    QCOMPARE(t.shownLayers(), QString("4"));
    QVERIFY(t.get<QRadioButton>("optFrame(0)")->isChecked());

    t.stage(3);
    QVERIFY(!t.get("fra1")->isEnabled());
    QVERIFY(!t.get("optChannel(0)")->isEnabled());
    QVERIFY(t.get("fra2")->isEnabled());
    QVERIFY(t.get("txtSiki")->isEnabled());
    QVERIFY(t.get("cmdDoAll")->isEnabled());
    QVERIFY(!t.get("cmdPickup")->isEnabled());
    QCOMPARE(t.shownLayers(), QString("0"));
    QVERIFY(t.get<QRadioButton>("optFrame(3)")->isChecked());

    t.stage(0);
    QVERIFY(t.get("fraView")->isHidden());
    QVERIFY(t.get("fra3")->isHidden());
    QCOMPARE(t.shownLayers(), QString(""));

    // No stage but 13 enables fra5, and none disables it.
    t.w->form().fra5.Enabled = false;
    for (int s = 0; s <= 14; ++s) {
        if (s == 13) continue;
        t.stage(s);
        QVERIFY2(!t.get("fra5")->isEnabled(), qPrintable(QString::number(s)));
    }
    t.stage(13);
    QVERIFY(t.get("fra5")->isEnabled());
    t.stage(14);
    QVERIFY(t.get("fra5")->isEnabled());
    QVERIFY(t.get("cmdSaveData")->isEnabled());
    QVERIFY(!t.get("cmdDoAll")->isEnabled());
}

void MainWindowTest::settingsBoxesValidateWhenLeft() {
    Window t;
    auto type = [&](const char* name, const char* text) {
        auto* box = t.get<QLineEdit>(name);
        box->setFocus();
        QVERIFY(box->hasFocus());
        box->selectAll();
        QTest::keyClicks(box, QString::fromUtf8(text));
    };

    type("txtHeikinWidth", "8");
    QCOMPARE(t.w->form().txtHeikinWidth.Text, std::string("8"));  // typing reaches the model
    t.get("txtSiki")->setFocus();                                 // leaving validates
    QCOMPARE(t.get<QLineEdit>("txtHeikinWidth")->text(), QString("9"));
    QCOMPARE(t.w->workspace().settings.HeikinWidth, 4);

    type("txtSikiTop", "99");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(t.get<QLineEdit>("txtSikiTop")->text(), QString("240"));
    QCOMPARE(t.w->workspace().settings.SikiTop, 240.0f);

    // Enter validates in place.
    type("txtMargin", "abc");
    QTest::keyClick(t.get("txtMargin"), Qt::Key_Return);
    QCOMPARE(t.get<QLineEdit>("txtMargin")->text(), QString("0"));
    QVERIFY(t.get("txtMargin")->hasFocus());

    // The window losing the focus ends the edit too.
    type("txtSiki", "300");
    t.get("txtSiki")->clearFocus();
    QCOMPARE(t.get<QLineEdit>("txtSiki")->text(), QString("4"));

    // The detection filter's box: 0.5 to 5 pixels, anything else switches it off.
    type("txtFilterSigma", "1.5");
    QTest::keyClick(t.get("txtFilterSigma"), Qt::Key_Return);
    QCOMPARE(t.w->workspace().settings.FilterSigma, 1.5f);
    type("txtFilterSigma", "9");
    QTest::keyClick(t.get("txtFilterSigma"), Qt::Key_Return);
    QCOMPARE(t.get<QLineEdit>("txtFilterSigma")->text(), QString("0"));
    QCOMPARE(t.w->workspace().settings.FilterSigma, 0.0f);

    // The PSF boxes: 裾野半径 is checked when left, ダーク幅 at every keystroke (" 1", then
    // " 12" is above 10).
    QTest::mouseClick(t.get("cmdMain(1)"), Qt::LeftButton);
    type("txtPSFAnnulus", "7.5");
    t.get("txtPSFDAnnulus")->setFocus();
    QCOMPARE(t.get<QLineEdit>("txtPSFAnnulus")->text(), QString(" 7.5"));
    QCOMPARE(t.w->workspace().settings.PSFAnnulus, 7.5f);
    type("txtPSFDAnnulus", "12");
    QCOMPARE(t.get<QLineEdit>("txtPSFDAnnulus")->text(), QString(" 3"));
    QCOMPARE(t.w->workspace().settings.PSFDAnnulus, 3.0f);
}

void MainWindowTest::viewOptionsSwitchTheShownLayer() {
    Window t;
    t.stage(10);
    QCOMPARE(t.shownLayers(), QString("4"));
    const struct {
        int option;
        const char* layers;
    } clicks[] = {{3, "0"}, {2, "1"}, {1, "2"}, {0, "4"}};
    for (const auto& c : clicks) {
        QTest::mouseClick(t.get(QString("optFrame(%1)").arg(c.option).toUtf8()), Qt::LeftButton);
        QCOMPARE(t.shownLayers(), QString(c.layers));
        QVERIFY(t.w->form().optFrame[c.option].Value);
    }
    // Marks off shows the plain star layer; with it off, "恒星位置" picks layer 3.
    QTest::mouseClick(t.get("chkCircle"), Qt::LeftButton);
    QCOMPARE(t.w->form().chkCircle.Value, 0);
    QCOMPARE(t.shownLayers(), QString("3"));
    QTest::mouseClick(t.get("optFrame(3)"), Qt::LeftButton);
    QTest::mouseClick(t.get("optFrame(0)"), Qt::LeftButton);
    QCOMPARE(t.shownLayers(), QString("3"));

    // Display options only change the model.
    QTest::mouseClick(t.get("chkDisp(1)"), Qt::LeftButton);
    QCOMPARE(t.w->form().chkDisp[1].Value, 0);
    QCOMPARE(t.shownLayers(), QString("3"));
    QTest::mouseClick(t.get("optChannel(0)"), Qt::LeftButton);
    QVERIFY(t.w->form().optChannel[0].Value);
    QVERIFY(!t.w->form().optChannel[2].Value);

    // An option the program deselects is shown deselected.
    for (auto& o : t.w->form().optFrame) o.Value = false;
    t.w->syncFromModel();
    for (int i = 0; i < 4; ++i)
        QVERIFY(!t.get<QRadioButton>(QString("optFrame(%1)").arg(i).toUtf8())->isChecked());
}

void MainWindowTest::flickerAlternatesTheStarLayersOnTheTimer() {
    Window t;
    t.stage(10);
    QVERIFY(!t.w->flickerTimer()->isActive());
    QTest::mouseClick(t.get("chkFlicker"), Qt::LeftButton);
    QVERIFY(t.w->flickerTimer()->isActive());
    QCOMPARE(t.w->flickerTimer()->interval(), 500);
    QTRY_COMPARE(t.shownLayers(), QString("3"));
    QTRY_COMPARE(t.shownLayers(), QString("4"));
    QTRY_COMPARE(t.shownLayers(), QString("3"));

    QTest::mouseClick(t.get("chkFlicker"), Qt::LeftButton);
    QVERIFY(!t.w->flickerTimer()->isActive());
    QCOMPARE(t.shownLayers(), QString("4"));
    QVERIFY(t.get<QCheckBox>("chkCircle")->isChecked());
}

void MainWindowTest::layersShowTheCanvasScaledWithoutSmoothing() {
    Window t;
    auto& f = t.w->form();
    // A 4 x 2 canvas of distinct colours at zoom 8, moved one picture pixel left.
    const orv::form::Rgb colours[2][4] = {
        {orv::form::RGB(255, 0, 0), orv::form::RGB(0, 0, 255), orv::form::RGB(255, 255, 255),
         orv::form::RGB(10, 20, 30)},
        {orv::form::RGB(0, 128, 0), orv::form::RGB(200, 100, 0), orv::form::RGB(0, 0, 0),
         orv::form::RGB(90, 90, 90)}};
    auto& layer = f.picHSC[2];
    layer.canvas.resize(4, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) layer.canvas.setPixel(x, y, colours[y][x]);
    layer.ScaleWidth = 4;
    layer.ScaleHeight = 2;
    layer.Left = -8 * 15;
    layer.Top = 0;
    layer.Width = 32 * 15;
    layer.Height = 16 * 15;
    layer.Visible = true;
    // A lower visible layer at the same place stays covered.
    auto& under = f.picHSC[1];
    under.canvas.resize(4, 2);
    under.canvas.fillBox(0, 0, 4, 2, orv::form::RGB(1, 2, 3));
    under.Left = layer.Left;
    under.Width = layer.Width;
    under.Height = layer.Height;
    under.Visible = true;
    // The margin rectangle around picture pixel (2, 0).
    f.shpArea[2] = {};
    f.shpArea[2].Left = 2;
    f.shpArea[2].Top = 0;
    f.shpArea[2].Width = 1;
    f.shpArea[2].Height = 1;
    f.shpArea[2].Visible = true;
    t.w->syncFromModel();

    const QImage shot = t.get("fraPickUp")->grab().toImage();
    auto at = [&](int x, int y) { return shot.pixel(x, y) | 0xFF000000u; };
    for (int y = 0; y < 2; ++y) {
        for (int x = 1; x < 4; ++x) {
            // Every screen pixel inside the 8 x 8 block, edges included, has the pixel's colour
            // (the rectangle aside).
            const int sx = (x - 1) * 8, sy = y * 8;
            if (x == 2 && y == 0) continue;
            for (int dy : {0, 3, 7})
                for (int dx : {0, 4, 7}) QCOMPARE(at(sx + dx, sy + dy), colours[y][x]);
        }
    }
    const orv::form::Rgb green = orv::form::RGB(0, 255, 0);
    QCOMPARE(at(8, 0), green);  // the rectangle's corners, one screen pixel wide
    QCOMPARE(at(15, 7), green);
    QCOMPARE(at(11, 3), colours[0][2]);  // inside it the picture
    // Right of the picture: the viewport's background, not a stretched picture.
    QCOMPARE(at(24, 3), orv::form::RGB(0x30, 0x30, 0x30));
}

void MainWindowTest::layersRepaintOnlyWhatChangedAndWhatIsExposed() {
    Window t;
    auto& layer = t.w->form().picHSC[0];
    layer.canvas.resize(4096, 4096);
    layer.ScaleWidth = layer.ScaleHeight = 4096;
    layer.Width = layer.Height = 4096.0 * 8 * 15;  // zoom level 3
    layer.Left = -1000.0 * 15;
    layer.Top = -2000.0 * 15;
    layer.Visible = true;
    t.w->syncFromModel();
    auto* widget = t.w->layer(0);
    QTRY_VERIFY(widget->paints() > 0);
    QApplication::processEvents();

    // A paint samples only the canvas pixels in view.
    const QSize view = t.get("fraPickUp")->size();
    const QRect sampled = widget->lastSourceRect();
    QVERIFY(!sampled.isEmpty());
    QVERIFY(sampled.width() <= view.width() / 8 + 2);
    QVERIFY(sampled.height() <= view.height() / 8 + 2);
    QVERIFY(sampled.left() >= 1000 / 8 - 1 && sampled.top() >= 2000 / 8 - 1);

    // Syncs without a change repaint nothing; a drawn pixel repaints.
    const int before = widget->paints();
    for (int i = 0; i < 5; ++i) {
        t.w->syncFromModel();
        QApplication::processEvents();
    }
    QCOMPARE(widget->paints(), before);
    layer.canvas.setPixel(200, 300, orv::form::RGB(255, 0, 0));
    t.w->syncFromModel();
    QTRY_VERIFY(widget->paints() > before);
}

void MainWindowTest::tabOrderAndKeys() {
    Window t;
    t.stage(10);
    // Top to bottom: numbered buttons, sources, settings, display, view, single steps.
    const char* order[] = {"cmdMain(2)",         "cmdShowBigPic",  "cmdBachDo",    "cmdReadData",
                           "cmdDataIn(1)",       "cmdDataIn(0)",   "cmdDataIn(2)", "cmdDoAll",
                           "cmdShowLog",         "txtHeikinWidth", "txtMargin",    "chkHyotan",
                           "cmdSaveSettingData", "chkDisp(0)",     "cmdReDisp",    "chkCircle",
                           "cmdIdoHeikin",       "cmdSaveData"};
    QWidget* w = t.get("cmdMain(0)");
    int next = 0;
    for (int steps = 0; steps < 200 && next < static_cast<int>(std::size(order)); ++steps) {
        w = w->nextInFocusChain();
        if (w->objectName() == QString::fromUtf8(order[next])) ++next;
    }
    QCOMPARE(next, static_cast<int>(std::size(order)));

    // Enter and Space press the focused button.
    auto* psfMode = t.get<QPushButton>("cmdMain(1)");
    psfMode->setFocus();
    QTest::keyClick(psfMode, Qt::Key_Return);
    QVERIFY(!t.get("fraMain(1)")->isHidden());
    auto* detectionMode = t.get<QPushButton>("cmdMain(0)");
    detectionMode->setFocus();
    QTest::keyClick(detectionMode, Qt::Key_Space);
    QVERIFY(t.get("fraMain(1)")->isHidden());
}

void MainWindowTest::faultsAreShownAndTheWindowGoesOn() {
    Window t;
    QString shown;
    answerNextMessageBox(&shown);
    orv::form::setStage(t.w->ctx(), orv::core::kStageLoaded);
    t.w->runHandler([](orv::form::Ctx& ctx) {
        orv::form::setStage(ctx, orv::core::kStageBackground);
        ctx.frm.lblMsg.Caption = "背景";
        ctx.frm.cmdCancel.Visible = true;
        static_cast<void>(orv::core::CLng(1e12));
    });
    QVERIFY(shown.contains("オーバーフロー"));
    QVERIFY(!t.w->running());
    // The step ended; the window is back in the stage before it, usable again.
    QCOMPARE(t.w->workspace().ProcStage, int16_t{orv::core::kStageLoaded});
    QVERIFY(t.get("cmdDoAll")->isEnabled());
    QVERIFY(t.get("cmdCancel")->isHidden());
    QCOMPARE(t.get<QLabel>("lblMsg")->text(), QString("背景"));

    answerNextMessageBox(&shown);
    t.w->runHandler([](orv::form::Ctx&) { throw std::runtime_error("disk full"); });
    QVERIFY(shown.contains("disk full"));
    QVERIFY(t.w->isVisible());
}

void MainWindowTest::closingWritesTheSettingsFile() {
    {
        Window t;
        auto* box = t.get<QLineEdit>("txtSikiTop");
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, "150");
        // Closing with the box still in focus keeps what was typed.
        QVERIFY(t.w->close());
        const std::string file = readAll(t.settingsFile());
        QVERIFY(file.find("[SYSTEM]\r\n") == 0);
        QVERIFY(file.find("SikiTop = 150\r\n") != std::string::npos);
    }
    {
        // A settings file that cannot be written does not keep the window open.
        Window t;
        std::filesystem::create_directory(t.settingsFile());
        std::ofstream(t.settingsFile() + "/keep") << "x";
        QVERIFY(t.w->close());
        QVERIFY(!t.w->isVisible());
    }
}

void MainWindowTest::closingIsRefusedWhileAStepRuns() {
    // Closing during a step asks: Cancel goes on with the window; OK stops the step and closes
    // the window once the step has ended.
    Window t;
    QStringList asked;
    bool closed = true;
    auto answer = [&](QMessageBox::StandardButton button) {
        QTimer::singleShot(0, [&asked, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            asked << box->text();
            box->button(button)->click();
        });
    };
    t.w->runHandler([&](orv::form::Ctx& ctx) {
        ctx.frm.lblMsg.Caption = "処理中";
        answer(QMessageBox::Cancel);
        closed = t.w->close();
        QVERIFY(!ctx.ws.CancelRequested);
        answer(QMessageBox::Ok);
        closed = closed || t.w->close();
        QVERIFY(ctx.ws.CancelRequested);
        QVERIFY(!std::filesystem::exists(t.settingsFile()));
    });
    QCOMPARE(asked, QStringList(2, QString::fromUtf8(MainWindow::kCloseWhileRunning)));
    QVERIFY(!closed);
    QCOMPARE(t.get<orv::window::ElidedLabel>("lblMsg")->fullText(),
             QString::fromUtf8(MainWindow::kBusyCloseMessage));
    QTRY_VERIFY(!t.w->isVisible());
    QVERIFY(std::filesystem::exists(t.settingsFile()));
}

void MainWindowTest::aLoadedPictureReachesLayersAndThumbnail() {
    Window t;
    QVERIFY(loadStarField(t, "field.bmp", 400, 300));
    QCOMPARE(t.w->workspace().ProcStage, int16_t{3});
    QCOMPARE(t.get<QLabel>("lblImageSize")->text(), QString("400 x 300"));
    QCOMPARE(t.get<QLabel>("lblDivId")->text(), QString("field.bmp"));
    QCOMPARE(t.shownLayers(), QString("0"));
    QCOMPARE(t.w->layer(0)->size(), QSize(400, 300));
    // The thumbnail's longer side is 4500 twips.
    QVERIFY(!t.w->thumbnail()->isHidden());
    QCOMPARE(t.w->thumbnail()->size(), QSize(300, 225));
    const QImage shot = t.get("fraPickUp")->grab().toImage();
    QCOMPARE(shot.pixel(20, 20) | 0xFF000000u, orv::form::RGB(200, 200, 200));
    QCOMPARE(shot.pixel(30, 30) | 0xFF000000u, orv::form::RGB(12, 12, 12));
    QVERIFY(t.get("cmdDoAll")->isEnabled());
    QVERIFY(t.get("barHSC")->isHidden());
}

void MainWindowTest::cancelWorksWhileThePipelineRuns() {
    Window t;
    // Large enough that every step pumps the event queue many times.
    QVERIFY(loadStarField(t, "big.bmp", 1600, 1200));

    // While the pipeline runs, press Cancel (first run) or Esc (second run) as soon as the
    // button shows, and confirm.
    for (bool byKey : {false, true}) {
        // (The offscreen platform does not give the activation back after a message box.)
        t.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(t.w.get()));
        QString confirmation;
        bool pressed = false;
        int stageAtPress = -1;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto* cancel = t.get<QPushButton>("cmdCancel");
            if (pressed || !t.w->running() || !cancel->isVisible()) return;
            pressed = true;
            stageAtPress = t.w->workspace().ProcStage;
            answerNextMessageBox(&confirmation);
            if (byKey)
                QTest::keyClick(t.w->windowHandle(), Qt::Key_Escape);
            else
                QTest::mouseClick(cancel, Qt::LeftButton);
        });
        poll.start(5);
        QTest::mouseClick(t.get("cmdDoAll"), Qt::LeftButton);
        poll.stop();

        QVERIFY2(pressed, byKey ? "Esc" : "Cancel");
        QCOMPARE(confirmation, QString("一連の処理を実施した後、処理を中止します。"));
        QVERIFY(!t.w->running());
        // Stopped at a step boundary, before the analysis result.
        const int stage = t.w->workspace().ProcStage;
        QVERIFY2(stage == 3 || stage == 6 || stage == 8,
                 qPrintable(QString("%1 %2 %3").arg(byKey).arg(stage).arg(stageAtPress)));
        QVERIFY(t.get("cmdDoAll")->isEnabled());
        QVERIFY(t.get("cmdCancel")->isHidden());
        orv::form::setStage(t.w->ctx(), 3);
        t.w->syncFromModel();
    }
}

void MainWindowTest::cancelDuringTheBackgroundStopsBeforeTheClusters() {
    Window t;
    QVERIFY(loadStarField(t, "sky.bmp", 1600, 1200));
    ModalAnswerer answers;  // confirms the stop
    int stageAtPress = -1;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        auto* cancel = t.get<QPushButton>("cmdCancel");
        if (stageAtPress >= 0 || t.w->workspace().ProcStage != orv::core::kStageBackground ||
            !cancel->isVisible())
            return;
        stageAtPress = t.w->workspace().ProcStage;
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    poll.start(5);
    QTest::mouseClick(t.get("cmdDoAll"), Qt::LeftButton);
    poll.stop();

    QCOMPARE(stageAtPress, int{orv::core::kStageBackground});
    QCOMPARE(answers.messages, QStringList{"一連の処理を実施した後、処理を中止します。"});
    // The background ran to its end (its layer is drawn to the last row); no clusters were
    // extracted, and the window is back in the state of a loaded picture.
    QCOMPARE(t.w->workspace().ProcStage, int16_t{orv::core::kStageLoaded});
    QCOMPARE(t.w->form().picHSC[1].canvas.pixel(800, 1199), orv::form::greyRgb(12));
    QCOMPARE(t.w->workspace().MaxStarNo, 0);
    QCOMPARE(t.shownLayers(), QString("0"));
    QVERIFY(t.get<QRadioButton>("optFrame(3)")->isChecked());
    QVERIFY(t.get("cmdDoAll")->isEnabled());
    QVERIFY(t.get("cmdCancel")->isHidden());
    QVERIFY(t.get("lblStop")->isHidden());
    const QStringList logged = logTexts(orv::core::logFilePath(t.w->workspace()));
    QCOMPARE(logged.size(), 4);
    QVERIFY2(logged[2].startsWith("＞ノイズ σ = "), qPrintable(logged[2]));
    QCOMPARE(logged,
             (QStringList{"■恒星位置抽出", "＞背景処理完了", logged[2], "＊中止しました。"}));
}

// The whole run of a user: load a picture, one click to detect, save, read the result back,
// save again.
void MainWindowTest::typicalRunDetectsSavesAndReadsBack() {
    Window t;
    QVERIFY(loadGeneratedField(t, "sky.bmp", 300, 240, 40));
    QCOMPARE(t.w->workspace().ProcStage, int16_t{orv::core::kStageLoaded});
    QCOMPARE(t.get<QLabel>("lblImageSize")->text(), QString("300 x 240"));
    const std::string dir = t.folder() + "/sky.bmp.dir/";
    const std::string ini = dir + "sky.bmp.dat.ini", dat = dir + "sky.bmp.dat",
                      log = dir + "sky.bmp.log";

    QTest::mouseClick(t.get("cmdDoAll"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(t.w->workspace().ProcStage, int16_t{orv::core::kStageAnalysed},
                              60000);
    QVERIFY(!t.w->running());
    const QStringList counts = shownCounts(t);
    QCOMPARE(counts, modelCounts(t));
    QVERIFY2(counts[3].toInt() > 0, "no circular objects");
    QVERIFY(counts[0].toInt() >= counts[3].toInt());
    QCOMPARE(t.shownLayers(), QString("4"));
    QVERIFY(t.get<QRadioButton>("optFrame(0)")->isChecked());
    QVERIFY(t.get("cmdSaveData")->isEnabled());
    QVERIFY(t.get("cmdCancel")->isHidden());
    QVERIFY(t.get("barHSC")->isHidden());
    // The marks are on screen: the shown layer has the red of a circular object somewhere.
    const QImage marked = t.w->layer(4)->grab().toImage();
    bool red = false;
    for (int y = 0; y < marked.height() && !red; ++y)
        for (int x = 0; x < marked.width() && !red; ++x)
            red = (marked.pixel(x, y) | 0xFF000000u) == orv::form::RGB(255, 0, 0);
    QVERIFY(red);
    // Beside the threshold: the noise measured after the background, and the suggestion.
    const QString suggestion = t.get<QLabel>("lblSikiSuggest")->text();
    QVERIFY2(suggestion.startsWith("σ ") && suggestion.contains(" → 推奨 "),
             qPrintable(suggestion));
    QCOMPARE(suggestion, QString::fromStdString(t.w->form().lblSikiSuggest.Caption));
    QVERIFY(!t.get("lblSikiSuggest")->toolTip().isEmpty());

    QStringList detected{"■恒星位置抽出", "＞背景処理完了", "＞クラスタ処理完了", "＞恒星抽出完了"};
    const QString noiseLine = logTexts(log).value(2);
    QVERIFY2(noiseLine.startsWith("＞ノイズ σ = "), qPrintable(noiseLine));
    detected.insert(2, noiseLine);
    {
        ModalAnswerer answers;
        QTest::mouseClick(t.get("cmdSaveData"), Qt::LeftButton);
        QCOMPARE(answers.messages,
                 QStringList{"結果を画像ファイル名と同じ名前のフォルダに保存しました。"});
    }
    QCOMPARE(t.w->workspace().ProcStage, int16_t{orv::core::kStageSaved});
    QVERIFY(std::filesystem::exists(ini));
    QVERIFY(std::filesystem::exists(dat));
    QCOMPARE(logTexts(log), detected + QStringList{"■データ保存完了"});
    const std::string savedIni = readAll(ini), savedDat = readAll(dat);
    // The measurements beside them, a line per result after the shared values and the header.
    const std::string savedMeas = readAll(dat + ".meas");
    QCOMPARE(std::count(savedMeas.begin(), savedMeas.end(), '\n') -
                 std::count(savedMeas.begin(), savedMeas.end(), '#'),
             std::ptrdiff_t{t.w->workspace().MaxStarNo + 1});
    QVERIFY(savedIni.find("DoFileName = sky.bmp\r\n") != std::string::npos);
    // One record line per result.
    QCOMPARE(std::count(savedDat.begin(), savedDat.end(), '\n'),
             std::ptrdiff_t{t.w->workspace().MaxStarNo});

    // Forget the picture, then read the result back through the dialog.
    t.stage(orv::core::kStageLoaded);
    t.w->workspace().MaxStarNo = 0;
    {
        ModalAnswerer answers(QString::fromStdString(dat));
        QTest::mouseClick(t.get("cmdReadData"), Qt::LeftButton);
        QCOMPARE(answers.fileFilters, QStringList{"抽出結果データファイル(*.dat) (*.dat)"});
        QCOMPARE(answers.messages,
                 QStringList{"抽出結果を読み込みました。確認や編集作業が行えます。"});
    }
    QCOMPARE(t.w->workspace().ProcStage, int16_t{orv::core::kStageRead});
    QCOMPARE(shownCounts(t), counts);
    QCOMPARE(modelCounts(t), counts);
    QCOMPARE(t.shownLayers(), QString("4"));
    QCOMPARE(t.get<QLabel>("lblDivId")->text(), QString("sky.bmp"));
    QVERIFY(t.get("cmdSaveData")->isEnabled());
    QVERIFY(!t.get("cmdDoAll")->isEnabled());

    {
        ModalAnswerer answers;
        QTest::mouseClick(t.get("cmdSaveData"), Qt::LeftButton);
        QCOMPARE(answers.messages.size(), 1);
    }
    QCOMPARE(t.w->workspace().ProcStage, int16_t{orv::core::kStageSaved});
    QVERIFY(readAll(ini) == savedIni);
    QVERIFY(readAll(dat) == savedDat);
    // Read back, the results keep the measurements saved with them.
    QVERIFY(readAll(dat + ".meas") == savedMeas);
    const QStringList again{"■データ保存完了", "■データ読込完了", "■データ保存完了"};
    QCOMPARE(logTexts(log), detected + again);
}

void MainWindowTest::exportWritesTheShownResultsWhereTheUserSays() {
    Window t;
    QVERIFY(loadGeneratedField(t, "sky.bmp", 300, 240, 40));
    QVERIFY(!t.get("cmdExport")->isEnabled());
    QTest::mouseClick(t.get("cmdDoAll"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(t.w->workspace().ProcStage, int16_t{orv::core::kStageAnalysed},
                              60000);
    QVERIFY(t.get("cmdExport")->isEnabled());
    const auto& ws = t.w->workspace();

    // The panel's last row: flux, FWHM and SNR of the selected star.
    int32_t star = 0;
    for (int32_t i = 1; i <= ws.MaxStarNo && star == 0; ++i)
        if (ws.Clusters[i].Atr == orv::core::kAtrCircular && ws.Stars[i].PixelCount > 20) star = i;
    QVERIFY(star > 0);
    t.w->runHandler([star](orv::form::Ctx& ctx) { orv::edit::OV_DispStarInfo(ctx, star); });
    for (int k = 0; k < 3; ++k) {
        const QString value =
            t.get<QLabel>(qPrintable(QString("lblStarMeasData(%1)").arg(k)))->text();
        QVERIFY2(value != "-" && value.toDouble() > 0, qPrintable(value));
    }
    QCOMPARE(t.get<QLabel>("lblStarMeas(1)")->text(), QString("FWHM"));

    const QString folder = t.dir.filePath("out");
    QVERIFY(QDir().mkpath(folder));
    const std::string ecsv = folder.toStdString() + "/sky.ecsv";
    {
        ModalAnswerer answers(QString::fromStdString(ecsv));
        QTest::mouseClick(t.get("cmdExport"), Qt::LeftButton);
        QCOMPARE(answers.folders, QStringList{t.dir.path()});
        QVERIFY2(answers.fileFilters.value(0).startsWith("ECSV"),
                 qPrintable(answers.fileFilters.join("|")));
        QCOMPARE(answers.messages.size(), 1);
        QVERIFY2(answers.messages[0].startsWith(
                     QString("%1 件の結果を書き出しました。").arg(ws.MaxStarNo)),
                 qPrintable(answers.messages[0]));
    }
    const std::string written = readAll(ecsv);
    QVERIFY(written.starts_with("# %ECSV 1.0\n"));
    QCOMPARE(std::count(written.begin(), written.end(), '\n') -
                 std::count(written.begin(), written.end(), '#'),
             std::ptrdiff_t{ws.MaxStarNo + 1});
    // The next dialog starts where the last one wrote; the format follows the name.
    const std::string reg = folder.toStdString() + "/sky.reg";
    {
        ModalAnswerer answers(QString::fromStdString(reg));
        QTest::mouseClick(t.get("cmdExport"), Qt::LeftButton);
        QCOMPARE(answers.folders, QStringList{folder});
    }
    QVERIFY(readAll(reg).starts_with("# Region file format: DS9 version 4.1\n"));
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
