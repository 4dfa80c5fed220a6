// Nothing of the user's work is lost in the real window: the unsaved-work question at every
// place that would discard results or hand work, a batch that stops when asked, and the keys
// of the buttons that act only where the button could be pressed.

#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <filesystem>
#include <functional>

#include "edit/manual_edit.h"
#include "extract/analysis.h"
#include "input/background.h"
#include "input/clusters.h"
#include "window_fixture.h"

using namespace uitest;
namespace fs = std::filesystem;

namespace {

// A small field detected step by step (stage 10, results not saved), with result 1 deleted
// by hand.
void detectAndEdit(Window& t) {
    QVERIFY(loadStarField(t, "sky.bmp", 200, 160));
    for (auto step : {orv::input::cmdIdoHeikin_Click, orv::input::cmdPickup_Click,
                      orv::extract::cmdCenterCal_Click})
        t.w->runHandler(step);
    t.w->runHandler([](orv::form::Ctx& ctx) {
        ctx.ws.SelStarNo = 1;
        orv::edit::cmdEditDelete_Click(ctx);
    });
    QCOMPARE(t.w->workspace().ProcStage, int16_t{orv::core::kStageAnalysed});
    QVERIFY(t.w->workspace().Unsaved.results && t.w->workspace().Unsaved.handWork);
}

// Presses keys as the window system delivers them (shortcuts included), to the active window.
void press(Window& t, const char* keys) {
    t.w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(t.w.get()));
    QTest::keySequence(t.w->windowHandle(), QKeySequence(keys));
}

QStringList questions(const QStringList& messages) {
    QStringList asked;
    for (const QString& m : messages)
        if (m.contains("まだ保存されていません")) asked << m;
    return asked;
}

}  // namespace

class KeepWorkTest : public QObject {
    Q_OBJECT

private slots:
    void unsavedWorkIsAskedForEverywhere();
    void aBatchStopsWithinOnePicture();
    void keysActOnlyWhereTheirButtonsCan();
};

// Each place the user can discard unsaved work, with each answer: キャンセル keeps everything
// as it was, 破棄 goes on without saving, 保存 saves (with the edit) and goes on.
void KeepWorkTest::unsavedWorkIsAskedForEverywhere() {
    struct Place {
        const char* name;
        std::function<void(Window&)> act;
        // Whether the action went on (after the question).
        std::function<bool(Window&, const ModalAnswerer&)> wentOn;
        const char* asks;  // what the question says at its end
        // The action's dialog is cancelled: after 破棄 or 保存 it changes nothing either.
        bool cancelsDialog = false;
    };
    auto click = [](const char* button) {
        return [button](Window& t) { QTest::mouseClick(t.get(button), Qt::LeftButton); };
    };
    auto dialogShown = [](Window&, const ModalAnswerer& a) { return a.folders.size() == 1; };
    const Place places[] = {
        {"ファイル", click("cmdDataIn(1)"),
         [](Window& t, const ModalAnswerer&) { return t.w->workspace().DoFileName == "b.bmp"; },
         "保存しますか？"},
        {"clipboard", click("cmdDataIn(0)"),
         [](Window& t, const ModalAnswerer&) { return t.w->workspace().DoFileName == "clipboard"; },
         "保存しますか？"},
        {"分割画像単独入力", click("cmdDataIn(2)"),
         [](Window& t, const ModalAnswerer&) {
             return t.w->workspace().ProcStage == orv::core::kStageLoaded;
         },
         "保存しますか？"},
        {"３．結果読込・編集", click("cmdReadData"), dialogShown, "保存しますか？", true},
        {"２．ﾊﾞｯﾁ処理実行", click("cmdBachDo"), dialogShown, "保存しますか？", true},
        {"Ctrl+Q", [](Window& t) { press(t, "Ctrl+Q"); },
         [](Window& t, const ModalAnswerer&) { return !t.w->isVisible(); }, "保存しますか？"},
        {"背景 again", click("cmdIdoHeikin"),
         [](Window& t, const ModalAnswerer&) {
             return t.w->workspace().ProcStage == orv::core::kStageBackgroundReady;
         },
         "処理をやり直すと失われます。保存しますか？"},
    };
    const struct {
        QMessageBox::StandardButton answer;
        bool goesOn, saves;
    } answers[] = {{QMessageBox::Cancel, false, false},
                   {QMessageBox::Discard, true, false},
                   {QMessageBox::Save, true, true}};

    for (const Place& place : places)
        for (const auto& a : answers) {
            const QString where = QString("%1 %2").arg(place.name).arg(a.answer);
            Window t;
            detectAndEdit(t);
            writeStarField(t.dir.filePath("b.bmp"), 120, 80);
            QApplication::clipboard()->setImage(QImage(t.dir.filePath("b.bmp")));
            auto& ws = t.w->workspace();
            const int32_t results = ws.MaxStarNo;
            const std::string dat = t.folder() + "/sky.bmp.dir/sky.bmp.dat";
            // The title shows the unsaved work.
            QCOMPARE(t.w->windowTitle(), QString("*sky.bmp - Orvandel"));
            const bool cancelsDialog = place.cancelsDialog;
            QStringList shown;
            {
                ModalAnswerer answerer(cancelsDialog ? QString() : t.dir.filePath("b.bmp"),
                                       a.answer);
                place.act(t);
                QTRY_VERIFY2(!t.w->running(), qPrintable(where));
                shown = answerer.messages;
                const QStringList asked = questions(shown);
                QVERIFY2(asked.size() == 1, qPrintable(where + " " + shown.join("|")));
                QVERIFY2(asked[0].startsWith("「sky.bmp」の"), qPrintable(asked[0]));
                QVERIFY2(asked[0].endsWith(QString::fromUtf8(place.asks)), qPrintable(asked[0]));
                QVERIFY2(place.wentOn(t, answerer) == a.goesOn, qPrintable(where));
            }
            QVERIFY2(fs::exists(dat) == a.saves, qPrintable(where));
            if (a.saves) {
                QVERIFY(shown.contains("結果を画像ファイル名と同じ名前のフォルダに保存しました。"));
                // The deletion is in the file: result 1 is an area object (field 5) deleted by
                // hand (field 6).
                const QStringList first =
                    QString::fromStdString(readAll(dat)).section("\r\n", 0, 0).split(',');
                QCOMPARE(first.mid(0, 1) + first.mid(4, 2), (QStringList{"1", "2", "1"}));
            }
            if (cancelsDialog && a.goesOn) {
                QCOMPARE(ws.MaxStarNo, results);
                QCOMPARE(t.shownLayers(), QString("4"));
                QCOMPARE(ws.Clusters[1].EditAtr, int16_t{1});
            }
            if (!a.goesOn) {
                // Everything as it was: the picture, the results, the edit, the window.
                QCOMPARE(ws.ProcStage, int16_t{orv::core::kStageAnalysed});
                QCOMPARE(ws.DoFileName, std::string("sky.bmp"));
                QCOMPARE(ws.MaxStarNo, results);
                QCOMPARE(ws.Clusters[1].EditAtr, int16_t{1});
                QVERIFY(ws.Unsaved.results && ws.Unsaved.handWork);
                QVERIFY(t.w->isVisible());
                QCOMPARE(t.shownLayers(), QString("4"));
            }
        }
}

// A batch of three pictures, started over unsaved results (破棄): 中止 is shown and can be
// pressed all along; pressed (or Esc) during the second picture, the run stops after it
// without saving it, and the third is never started. The question is asked once, before the
// run, never for the pictures of the run.
void KeepWorkTest::aBatchStopsWithinOnePicture() {
    for (bool byKey : {false, true}) {
        Window t;
        detectAndEdit(t);
        QString list;
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
            writeStarField(t.dir.filePath(name), 240, 200);
            list += QString("\"%1\",\"%2\"\r\n").arg(t.dir.path(), name);
        }
        const QString listFile = t.dir.filePath("list.txt");
        QFile f(listFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(list.toUtf8());
        f.close();

        auto& ws = t.w->workspace();
        int hiddenTicks = 0, ticks = 0;
        bool pressed = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            // Only while the batch runs (not while its question and dialogs come first); while
            // a box is open, the window waits for the answer.
            if (!t.w->running() || ws.ProcStage != orv::core::kStageBatch ||
                QApplication::activeModalWidget())
                return;
            auto* cancel = t.get<QPushButton>("cmdCancel");
            const bool stopping = t.get("lblStop")->isVisible();
            ++ticks;
            if (!stopping && !(cancel->isVisible() && cancel->isEnabled())) ++hiddenTicks;
            if (pressed || stopping || ws.DoFileName != "b.bmp") return;
            if (byKey) {
                // (The offscreen platform does not give the activation back after the boxes.)
                if (!t.w->isActiveWindow()) return t.w->activateWindow();
                pressed = true;
                QTest::keyClick(t.w->windowHandle(), Qt::Key_Escape);
            } else {
                pressed = true;
                QTest::mouseClick(cancel, Qt::LeftButton);
            }
        });
        poll.start(5);
        ModalAnswerer answers(listFile);
        QTest::mouseClick(t.get("cmdBachDo"), Qt::LeftButton);
        poll.stop();

        const char* how = byKey ? "Esc" : "click";
        QVERIFY2(pressed, how);
        QVERIFY2(ticks > 20 && hiddenTicks == 0,
                 qPrintable(QString("%1: hidden %2 of %3").arg(how).arg(hiddenTicks).arg(ticks)));
        QCOMPARE(questions(answers.messages).size(), 1);
        QVERIFY(answers.messages.contains("一連の処理を実施した後、処理を中止します。"));
        QCOMPARE(answers.messages.last(), QString("処理が中止されました。"));
        const QStringList logged = logTexts(t.dir.filePath("list.txt.log").toStdString());
        QCOMPARE(logged.size(), 4);
        QCOMPARE(logged[0], QString("001 a.bmp 処理開始"));
        QVERIFY(logged[1].endsWith("a.bmp 処理終了"));
        QCOMPARE(logged[2], QString("002 b.bmp 処理開始"));
        QCOMPARE(logged[3], QString("バッチ処理中止"));
        QVERIFY(fs::exists(t.folder() + "/a.bmp.dir/a.bmp.dat"));
        QVERIFY(!fs::exists(t.folder() + "/b.bmp.dir/b.bmp.dat"));
        QVERIFY(!fs::exists(t.folder() + "/c.bmp.dir"));
        QCOMPARE(ws.ProcStage, int16_t{orv::core::kStageIdle});
        QVERIFY(t.get("cmdCancel")->isHidden());
        QVERIFY(t.get("lblStop")->isHidden());
    }
}

// Ctrl+O, F5, Ctrl+S and Ctrl+R press their buttons (named in their tooltips), and do nothing
// in every stage where the button is disabled.
void KeepWorkTest::keysActOnlyWhereTheirButtonsCan() {
    Window t;
    detectAndEdit(t);
    auto& ws = t.w->workspace();
    const struct {
        const char* key;
        const char* button;
        std::vector<int> enabled;  // the stages that enable the button
    } keys[] = {{"Ctrl+O", "cmdDataIn(1)", {0, 3, 6, 8, 10, 12, 14}},
                {"F5", "cmdDoAll", {3, 6, 8, 10, 12}},
                {"Ctrl+S", "cmdSaveData", {10, 12, 14}},
                {"Ctrl+R", "cmdReadData", {0, 3, 6, 8, 10, 12, 14}}};
    for (const auto& k : keys) {
        QVERIFY2(t.get(k.button)->toolTip().endsWith(QString("(%1)").arg(k.key)), k.key);
        for (int stage = 0; stage <= 14; ++stage) {
            if (std::find(k.enabled.begin(), k.enabled.end(), stage) != k.enabled.end()) continue;
            t.stage(stage);
            QVERIFY(!t.get(k.button)->isEnabled());
            ModalAnswerer answers;
            press(t, k.key);
            QTest::qWait(20);
            const QString where = QString("%1 at %2").arg(k.key).arg(stage);
            QVERIFY2(answers.messages.isEmpty() && answers.folders.isEmpty(), qPrintable(where));
            QVERIFY2(ws.ProcStage == stage, qPrintable(where));
        }
    }
    // Where the buttons can be pressed, the keys press them.
    t.stage(orv::core::kStageAnalysed);
    {
        ModalAnswerer answers;
        press(t, "Ctrl+S");
        QTRY_COMPARE(ws.ProcStage, int16_t{orv::core::kStageSaved});
        QVERIFY(fs::exists(t.folder() + "/sky.bmp.dir/sky.bmp.dat"));
        QCOMPARE(t.w->windowTitle(), QString("sky.bmp - Orvandel"));
    }
    for (const char* key : {"Ctrl+O", "Ctrl+R"}) {
        ModalAnswerer answers;
        press(t, key);
        QTRY_COMPARE(answers.folders.size(), 1);
    }
    QCOMPARE(ws.ProcStage, int16_t{orv::core::kStageSaved});
    press(t, "F5");
    QTRY_VERIFY(!t.w->running());
    QCOMPARE(ws.ProcStage, int16_t{orv::core::kStageAnalysed});
    QVERIFY(ws.Unsaved.results && !ws.Unsaved.handWork);
}

QTEST_MAIN(KeepWorkTest)
#include "keep_work_test.moc"
