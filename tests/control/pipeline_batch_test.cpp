#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string_view>

#include "control/batch.h"
#include "control/pipeline.h"
#include "control/startup.h"
#include "core/numeric.h"
#include "support/pictures.h"

namespace orv::control {
namespace {

using test::readFile;
using test::TestApp;

form::Picture field() {
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
        control::Form_Load(app.ctx);
        test::typicalSettings(app.ws.settings);
        EXPECT_TRUE(test::loadPicture(app, field(), "a.bmp"));
    }
    std::string log() { return readFile(app.dir.path() + "/a.bmp.dir/a.bmp.log"); }
    // Presses 中止 (and answers the confirmation) at the first pump in `stage`.
    void cancelDuring(int16_t stage, form::MsgAnswer answer = form::MsgAnswer::Ok) {
        app.host.onPump = [this, stage, answer, pressed = false]() mutable {
            if (pressed || app.ws.ProcStage != stage) return;
            pressed = true;
            app.host.msgAnswers.push_back(answer);
            cmdCancel_Click(app.ctx);
        };
    }
};

struct BatchRun {
    TestApp app;
    std::map<std::string, form::Picture> pictures;
    BatchRun() {
        control::Form_Load(app.ctx);
        test::typicalSettings(app.ws.settings);
        app.host.decoder = [this](const std::string& path) -> core::Result<form::Picture> {
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

TEST(Pipeline, CancelDuringTheClustersEndsAtStageSix) {
    Window w;
    w.cancelDuring(core::kStageClustering);
    cmdDoAll_Click(w.app.ctx);
    EXPECT_EQ(w.app.ws.ProcStage, core::kStageBackgroundReady);
    EXPECT_EQ(w.app.ws.MaxStarNo, 2);          // the clusters completed
    EXPECT_EQ(w.app.ws.StarAtrNo[0][3], 0);    // no analysis
    EXPECT_TRUE(w.app.frm.cmdPickup.Enabled);  // stage 6 offers the cluster step again
}

// A cancel request left over from a stopped run does not stop the next one, in the
// window or in a batch run.
TEST(Pipeline, AStaleCancelRequestIsClearedByTheNextRun) {
    Window w;
    w.app.ws.CancelRequested = -1;
    cmdDoAll_Click(w.app.ctx);
    EXPECT_EQ(w.app.ws.ProcStage, core::kStageAnalysed);
    EXPECT_EQ(w.app.ws.StarAtrNo[0][3], 2);
    BatchRun b;
    b.list(b.app.dir.path() + ",a.bmp\r\n", {"a.bmp"});
    b.app.ws.CancelRequested = -1;
    cmdBachDo_Click(b.app.ctx);
    EXPECT_TRUE(std::filesystem::exists(b.app.dir.file("a.bmp.dir/a.bmp.dat")));
    EXPECT_EQ(b.app.host.messages.back().text, "処理が正常に終了しました。");
}

// Single bright pixels two apart: 250 x 210 = 52500 clusters, more than the table
// holds. The 50001st would have been seeded in row 401.
form::Picture speckles() {
    return test::greyPicture(500, 420,
                             [](int x, int y) { return x % 2 == 0 && y % 2 == 0 ? 200 : 0; });
}
// The message names the threshold the picture's noise suggests (σ 7.33: 20).
const std::string kFull =
    "クラスタが上限の 50000 個に達したため、401 行目から下は抽出されていません。"
    "クラスタ閾値を推奨の 20 に上げるか、分割画像で処理してください。";

TEST(Pipeline, AFullClusterTableSaysWhereExtractionStopped) {
    TestApp app;
    control::Form_Load(app.ctx);
    test::typicalSettings(app.ws.settings);
    ASSERT_TRUE(test::loadPicture(app, speckles(), "s.bmp"));
    cmdDoAll_Click(app.ctx);
    EXPECT_EQ(app.ws.MaxStarNo, 50000);
    EXPECT_EQ(app.ws.ProcStage, core::kStageAnalysed);
    EXPECT_EQ(app.frm.lblMsg.Caption, kFull);
    const std::string log = readFile(app.dir.file("s.bmp.dir/s.bmp.log"));
    EXPECT_NE(log.find("＞クラスタ処理完了\r\n2015/09/27 21:03:05 " + kFull + "\r\n"),
              std::string::npos)
        << log;
    // At the suggested threshold the specks still fill the table: only tiles are left.
    app.ws.settings.Siki = 20;
    cmdDoAll_Click(app.ctx);
    EXPECT_EQ(app.frm.lblMsg.Caption,
              "クラスタが上限の 50000 個に達したため、401 行目から下は抽出されていません。"
              "閾値を上げるか、分割画像で処理してください。");
    // A picture that fits forgets it.
    ASSERT_TRUE(test::loadPicture(app, field(), "a.bmp"));
    cmdDoAll_Click(app.ctx);
    EXPECT_EQ(app.frm.lblMsg.Caption, "");
}

TEST(Pipeline, AnsweringCancelInTheConfirmationLeavesTheRunGoing) {
    Window w;
    w.cancelDuring(core::kStageBackground, form::MsgAnswer::Cancel);
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

// A list saved as Windows' "Unicode" text (UTF-16 with its byte-order mark) reads as the same
// list in UTF-8.
TEST(BatchList, AUtf16ListWithItsByteOrderMarkIsRead) {
    test::TempDir dir;
    const std::string text = "\"/data/空\",\"a.bmp\"\r\n/data,b.bmp\r\n";
    test::writeFile(dir.file("utf8.txt"), text);
    // The same characters as UTF-16LE: all below U+10000 here, so each is one unit.
    std::string utf16 = "\xFF\xFE";
    for (const char32_t c : std::u32string_view(U"\"/data/空\",\"a.bmp\"\r\n/data,b.bmp\r\n")) {
        utf16 += static_cast<char>(c & 0xFF);
        utf16 += static_cast<char>(c >> 8);
    }
    test::writeFile(dir.file("utf16.txt"), utf16);
    const auto expected = readBatchList(dir.file("utf8.txt"));
    const auto read = readBatchList(dir.file("utf16.txt"));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(read.value()[i].folder, expected.value()[i].folder);
        EXPECT_EQ(read.value()[i].name, expected.value()[i].name);
    }
    EXPECT_EQ(read.value()[0].folder, "/data/空");
}

// Relative and empty folders are taken in the list's folder, whatever the current
// folder is; a "clipboard" folder or a missing name makes the record refused.
TEST(BatchList, FoldersAreResolvedAgainstTheListsFolder) {
    struct Case {
        const char* folder;
        const char* name;
        const char* resolved;  // "" when refused
    };
    const Case cases[] = {
        {"/data/sky", "a.bmp", "/data/sky"},
        {"", "a.bmp", "/lists"},
        {"tiles", "a.bmp", "/lists/tiles"},
        {"./tiles/../more/", "a.bmp", "/lists/more"},
        {"../sky", "a.bmp", "/sky"},
        {"D:\\sky", "a.bmp", "D:\\sky"},  // another system's absolute folder: as it is
        {"clipboard", "clipboard", ""},
        {"/data/sky", "", ""},
    };
    for (const auto& c : cases) {
        const BatchRecord r = resolveBatchRecord({c.folder, c.name, ""}, "/lists");
        EXPECT_EQ(r.refused.empty(), *c.resolved != 0) << c.folder;
        if (*c.resolved) {
            EXPECT_EQ(r.folder, c.resolved) << c.folder;
        }
    }
}

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
    // The log names the picture and says why it was not loaded.
    EXPECT_NE(b.batchLog().find(t + "002 gone.bmp 処理開始\r\n" + t + d +
                                "/gone.bmp 読込エラー: no such picture: " + d + "/gone.bmp\r\n" +
                                t + "003 c.bmp 処理開始\r\n"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(d + "/gone.bmp.dir"));
    EXPECT_TRUE(std::filesystem::exists(d + "/c.bmp.dir/c.bmp.dat"));
    for (const auto& m : b.app.host.messages) EXPECT_NE(m.text, "Error!");
    EXPECT_NE(b.app.host.messages.back().text.find("1 件の画像を処理できませんでした (読込 1 件"),
              std::string::npos);
}

// A record that cannot be loaded, one that a run-time error ends, one whose results cannot be
// saved and a "clipboard" record: each is logged, the others are processed, the run ends at
// stage 0 and the closing box counts them instead of reporting success.
TEST(Batch, FailedRecordsAreCountedAndARunTimeErrorEndsOnlyItsRecord) {
    BatchRun b;
    const std::string d = b.app.dir.path();
    b.list(d + ",a.bmp\r\n" + d + ",gone.bmp\r\n" + d + ",fault.bmp\r\n" + d +
               ",nosave.bmp\r\nclipboard,clipboard\r\n" + d + ",e.bmp\r\n",
           {"a.bmp", "fault.bmp", "nosave.bmp", "e.bmp"});
    test::writeFile(d + "/nosave.bmp.dir", "");  // a file where the result folder would be
    b.app.host.onPump = [&] {
        if (b.app.ws.DoFileName == "fault.bmp" &&
            b.app.frm.lblMsg.Caption == "クラスタ抽出処理を実施しています。")
            throw core::ArithmeticFault("オーバーフローしました。");
    };
    cmdBachDo_Click(b.app.ctx);
    const std::string t = "2015/09/27 21:03:05 ";
    const std::string log = b.batchLog();
    for (const std::string& line :
         {d + "/a.bmp 処理終了", d + "/gone.bmp 読込エラー: no such picture: " + d + "/gone.bmp",
          d + "/fault.bmp 処理エラー: 実行時エラー: オーバーフローしました。",
          d + "/nosave.bmp 保存エラー", d + "/e.bmp 処理終了",
          std::string("バッチ処理終了 (4 件失敗)")})
        EXPECT_NE(log.find(t + line + "\r\n"), std::string::npos) << line << "\n" << log;
    EXPECT_NE(log.find("clipboard/clipboard 読込エラー: clipboard は"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(d + "/e.bmp.dir/e.bmp.dat"));
    EXPECT_FALSE(std::filesystem::exists(d + "/fault.bmp.dir/fault.bmp.dat"));
    EXPECT_EQ(b.app.host.messages.back().text,
              "処理が終了しましたが、4 件の画像を処理できませんでした (読込 2 件、処理 1 件、保存 "
              "1 件)。\n詳しくはバッチログ " +
                  d + "/tiles.txt.log をご覧ください。");
    EXPECT_EQ(b.app.ws.ProcStage, core::kStageIdle);
    EXPECT_FALSE(b.app.host.busy);
    EXPECT_FALSE(b.app.frm.barHSC.Visible);
}

// A record whose picture fills the cluster table is saved, marked in the batch log and counted
// in the closing box; a batch log that cannot be written is said there too.
TEST(Batch, AnIncompleteRecordAndAnUnwritableLogAreReported) {
    BatchRun b;
    const std::string d = b.app.dir.path();
    b.list(d + ",s.bmp\r\n", {"s.bmp"});
    b.pictures[d + "/s.bmp"] = speckles();
    cmdBachDo_Click(b.app.ctx);
    EXPECT_NE(b.batchLog().find(d + "/s.bmp 処理終了\r\n2015/09/27 21:03:05 " + d +
                                "/s.bmp 結果が不完全: " + kFull + "\r\n"),
              std::string::npos)
        << b.batchLog();
    EXPECT_TRUE(std::filesystem::exists(d + "/s.bmp.dir/s.bmp.dat"));
    EXPECT_NE(b.app.host.messages.back().text.find("1 件の画像はクラスタ数が上限に達し"),
              std::string::npos);

    BatchRun unlogged;
    const std::string u = unlogged.app.dir.path();
    unlogged.list(u + ",a.bmp\r\n", {"a.bmp"});
    std::filesystem::create_directory(u + "/tiles.txt.log");
    cmdBachDo_Click(unlogged.app.ctx);
    EXPECT_NE(unlogged.app.host.messages.back().text.find("バッチログを書き込めませんでした"),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(u + "/a.bmp.dir/a.bmp.dat"));
}

TEST(Batch, AnEmptyListAndACancelledConfirmation) {
    BatchRun empty;
    empty.list("", {});
    cmdBachDo_Click(empty.app.ctx);
    EXPECT_EQ(empty.batchLog(), "2015/09/27 21:03:05 バッチ処理終了\r\n");
    EXPECT_EQ(empty.app.host.messages.back().text, "処理が正常に終了しました。");

    BatchRun declined;
    declined.list(declined.app.dir.path() + ",a.bmp\r\n", {"a.bmp"});
    declined.app.host.msgAnswers.push_back(form::MsgAnswer::Cancel);
    cmdBachDo_Click(declined.app.ctx);
    EXPECT_FALSE(std::filesystem::exists(declined.app.dir.file("tiles.txt.log")));
    EXPECT_EQ(declined.app.ws.ProcStage, core::kStageIdle);
}

TEST(Batch, CancelDuringALoadingStopsBeforeItsPipeline) {
    BatchRun b;
    const std::string d = b.app.dir.path();
    b.list(d + ",a.bmp\r\n" + d + ",c.bmp\r\n", {"a.bmp", "c.bmp"});
    b.app.host.onPump = [&, pressed = false]() mutable {
        if (pressed || b.app.frm.lblMsg.Caption != "画像データをメモリーに設定しています。") return;
        pressed = true;
        cmdCancel_Click(b.app.ctx);
    };
    cmdBachDo_Click(b.app.ctx);
    EXPECT_EQ(b.app.ws.MaxStarNo, 0);  // no pipeline ran
    EXPECT_FALSE(std::filesystem::exists(d + "/a.bmp.dir"));
    EXPECT_EQ(b.app.host.messages.back().text, "処理が中止されました。");
    EXPECT_EQ(b.app.ws.ProcStage, core::kStageIdle);
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
