#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "control/batch.h"
#include "control/pipeline.h"
#include "core/startup.h"
#include "support/pictures.h"

namespace orv::control {
namespace {

using test::readFile;
using test::TestApp;

ui::Picture field() {
    return test::greyPicture(60, 40, [](int x, int y) {
        auto blob = [&](int cx, int cy, int r) {
            return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
        };
        return blob(15, 12, 3) || blob(40, 25, 2) ? 200 : 10;
    });
}

struct Window {
    TestApp app;
    Window() {
        core::Form_Load(app.ctx);
        test::typicalSettings(app.ws.settings);
        EXPECT_TRUE(test::loadPicture(app, field(), "a.bmp"));
    }
    std::string log() { return readFile(app.dir.path() + "/a.bmp.dir/a.bmp.log"); }
    // Presses 中止 (and answers the confirmation) at the first pump in `stage`.
    void cancelDuring(int16_t stage, ui::MsgAnswer answer = ui::MsgAnswer::Ok) {
        app.host.onPump = [this, stage, answer, pressed = false]() mutable {
            if (pressed || app.ws.ProcStage != stage) return;
            pressed = true;
            app.host.msgAnswers.push_back(answer);
            cmdCancel_Click(app.ctx);
        };
    }
};

TEST(Pipeline, RunsTheThreeStepsWithPauses) {
    Window w;
    cmdDoAll_Click(w.app.ctx);
    EXPECT_EQ(w.app.ws.ProcStage, core::kStageAnalysed);
    EXPECT_EQ(w.app.ws.MaxStarNo, 2);
    EXPECT_EQ(w.app.host.sleptMs, 500 + 500 + 1000);
    EXPECT_EQ(w.app.frm.lblStarNo.Caption, "2");
    EXPECT_EQ(w.log().find("＊中止しました。"), std::string::npos);
}

TEST(Pipeline, CancelDuringTheBackgroundStopsAfterIt) {
    Window w;
    w.cancelDuring(core::kStageBackground);
    cmdDoAll_Click(w.app.ctx);
    EXPECT_EQ(w.app.ws.ProcStage, core::kStageLoaded);
    EXPECT_EQ(w.app.host.messages[0].text, "一連の処理を実施した後、処理を中止します。");
    EXPECT_GT(w.app.ws.BackLevel(15, 12), 10.0f);  // the background completed
    EXPECT_TRUE(w.app.frm.optFrame[3].Value);      // stage 3 shows the input picture again
    EXPECT_EQ(w.app.ws.MaxStarNo, 0);
    EXPECT_TRUE(w.app.frm.cmdIdoHeikin.Enabled);
    EXPECT_EQ(w.log().substr(w.log().size() - 26), "＊中止しました。\r\n");
    // The next run goes through all three steps.
    w.app.host.onPump = nullptr;
    cmdDoAll_Click(w.app.ctx);
    EXPECT_EQ(w.app.ws.ProcStage, core::kStageAnalysed);
    EXPECT_EQ(w.app.ws.MaxStarNo, 2);
}

TEST(Pipeline, CancelDuringTheAnalysisEndsAtStageEight) {
    Window w;
    w.cancelDuring(core::kStageAnalysing);
    cmdDoAll_Click(w.app.ctx);
    EXPECT_EQ(w.app.ws.ProcStage, core::kStageClustersReady);
    EXPECT_EQ(w.app.ws.StarAtrNo[0][3], 2);  // the analysis finished
    EXPECT_NE(w.log().find("＞恒星抽出完了\r\n2015/09/27 21:03:05 ＊中止しました。"),
              std::string::npos);
}

TEST(Pipeline, AnsweringCancelInTheConfirmationLeavesTheRunGoing) {
    Window w;
    w.cancelDuring(core::kStageBackground, ui::MsgAnswer::Cancel);
    cmdDoAll_Click(w.app.ctx);
    EXPECT_EQ(w.app.ws.ProcStage, core::kStageAnalysed);
    EXPECT_EQ(w.app.ws.CancelRequested, 0);
}

TEST(BatchList, QuotedAndUnquotedFields) {
    struct Case {
        const char* line;
        const char* folder;
        const char* name;
    };
    const Case cases[] = {
        {"\"D:\\sky\",\"a.bmp\"", "D:\\sky", "a.bmp"},
        {"D:\\sky,a.bmp", "D:\\sky", "a.bmp"},
        {"  D:\\sky dir  ,  a b.bmp  ", "D:\\sky dir", "a b.bmp"},
        {"\"/data/x,y\", \"say \"\"hi\"\".bmp\"", "/data/x,y", "say \"hi\".bmp"},
        {"only-one-field", "only-one-field", ""},
    };
    for (const auto& c : cases) {
        BatchRecord r = parseBatchLine(c.line);
        EXPECT_EQ(r.folder, c.folder) << c.line;
        EXPECT_EQ(r.name, c.name) << c.line;
    }
}

struct BatchRun {
    TestApp app;
    std::map<std::string, ui::Picture> pictures;
    BatchRun() {
        core::Form_Load(app.ctx);
        test::typicalSettings(app.ws.settings);
        app.host.decoder = [this](const std::string& path) -> core::Result<ui::Picture> {
            auto it = pictures.find(path);
            if (it == pictures.end()) return core::Error{"no such picture: " + path};
            return it->second;
        };
    }
    // Writes the list (lines as given) and a picture file for every name in `present`.
    void list(const std::string& text, std::initializer_list<std::string> present) {
        for (const auto& name : present) {
            test::writeFile(app.dir.file(name), "");
            pictures[app.dir.file(name)] = field();
        }
        test::writeFile(app.dir.file("tiles.txt"), text);
        app.host.fileAnswers.push_back(app.dir.file("tiles.txt"));
    }
    std::string batchLog() { return readFile(app.dir.file("tiles.txt.log")); }
};

TEST(Batch, ProcessesEveryRecordAndLogsAsItGoes) {
    BatchRun b;
    const std::string d = b.app.dir.path();
    b.list("\"" + d + "\",\"m42.bmp.000.000.bmp\"\r\n\r\n" + d + ",m42.bmp.001.000.bmp\r\n",
           {"m42.bmp.000.000.bmp", "m42.bmp.001.000.bmp"});
    cmdBachDo_Click(b.app.ctx);
    const std::string t = "2015/09/27 21:03:05 ";
    EXPECT_EQ(b.batchLog(), t + "001 m42.bmp.000.000.bmp 処理開始\r\n" + t + d +
                                "/m42.bmp.000.000.bmp 処理終了\r\n" + t +
                                "002 m42.bmp.001.000.bmp 処理開始\r\n" + t + d +
                                "/m42.bmp.001.000.bmp 処理終了\r\n" + t + "バッチ処理終了\r\n");
    EXPECT_EQ(
        b.app.host.messages[0].text,
        "現在の「処理画像」「検出設定」の設定に基づきバッチ処理を実行します。よろしいですか？");
    EXPECT_EQ(b.app.host.messages.back().text, "処理が正常に終了しました。");
    EXPECT_EQ(b.app.ws.ProcStage, core::kStageIdle);
    EXPECT_EQ(b.app.frm.lblBachProgress.Caption, "2/2");
    EXPECT_EQ(b.app.host.sleptMs, 2 * (1000 + 2000));
    for (const char* name : {"m42.bmp.000.000.bmp", "m42.bmp.001.000.bmp"}) {
        const std::string dir = d + "/" + name + ".dir/" + name;
        EXPECT_TRUE(std::filesystem::exists(dir + ".dat"));
        EXPECT_TRUE(std::filesystem::exists(dir + ".dat.ini"));
        EXPECT_NE(readFile(dir + ".log").find("■データ保存完了"), std::string::npos);
    }
    EXPECT_EQ(b.app.host.fileDialogs[0], "|バッチファイル(*.txt)|*.txt");
}

TEST(Batch, APictureThatCannotBeLoadedIsLoggedAndSkipped) {
    BatchRun b;
    const std::string d = b.app.dir.path();
    // The first picture is processed; the second is missing; the third is processed on its own
    // data, not on the first one's arrays.
    b.list(d + ",a.bmp\r\n" + d + ",gone.bmp\r\n" + d + ",c.bmp\r\n", {"a.bmp", "c.bmp"});
    cmdBachDo_Click(b.app.ctx);
    const std::string t = "2015/09/27 21:03:05 ";
    EXPECT_NE(b.batchLog().find(t + "002 gone.bmp 処理開始\r\n" + t + d +
                                "/gone.bmp 読込エラー\r\n" + t + "003 c.bmp 処理開始\r\n"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(d + "/gone.bmp.dir"));
    EXPECT_TRUE(std::filesystem::exists(d + "/c.bmp.dir/c.bmp.dat"));
    for (const auto& m : b.app.host.messages) EXPECT_NE(m.text, "Error!");
    EXPECT_EQ(b.app.host.messages.back().text, "処理が正常に終了しました。");
}

TEST(Batch, AnEmptyListAndACancelledConfirmation) {
    BatchRun empty;
    empty.list("", {});
    cmdBachDo_Click(empty.app.ctx);
    EXPECT_EQ(empty.batchLog(), "2015/09/27 21:03:05 バッチ処理終了\r\n");
    EXPECT_EQ(empty.app.host.messages.back().text, "処理が正常に終了しました。");

    BatchRun declined;
    declined.list(declined.app.dir.path() + ",a.bmp\r\n", {"a.bmp"});
    declined.app.host.msgAnswers.push_back(ui::MsgAnswer::Cancel);
    cmdBachDo_Click(declined.app.ctx);
    EXPECT_FALSE(std::filesystem::exists(declined.app.dir.file("tiles.txt.log")));
    EXPECT_EQ(declined.app.ws.ProcStage, core::kStageIdle);
}

TEST(Batch, CancelDuringTheFirstPipelineStopsTheRun) {
    BatchRun b;
    const std::string d = b.app.dir.path();
    b.list(d + ",a.bmp\r\n" + d + ",c.bmp\r\n", {"a.bmp", "c.bmp"});
    b.app.host.onPump = [&, pressed = false]() mutable {
        if (pressed || b.app.frm.lblMsg.Caption != "クラスタ抽出処理を実施しています。") return;
        pressed = true;
        cmdCancel_Click(b.app.ctx);
    };
    cmdBachDo_Click(b.app.ctx);
    const std::string t = "2015/09/27 21:03:05 ";
    EXPECT_EQ(b.batchLog(), t + "001 a.bmp 処理開始\r\n" + t + "バッチ処理中止\r\n");
    EXPECT_EQ(b.app.host.messages.back().text, "処理が中止されました。");
    EXPECT_FALSE(std::filesystem::exists(d + "/a.bmp.dir/a.bmp.dat"));
    EXPECT_NE(readFile(d + "/a.bmp.dir/a.bmp.log").find("＊中止しました。"), std::string::npos);
    EXPECT_EQ(b.app.ws.ProcStage, core::kStageIdle);
}

}  // namespace
}  // namespace orv::control
