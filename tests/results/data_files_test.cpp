#include "results/data_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>
#include <thread>

#include "control/pipeline.h"
#include "control/startup.h"
#include "core/folder_lock.h"
#include "core/sum_file.h"
#include "extract/numbering.h"
#include "extract/records.h"
#include "form/stage.h"
#include "input/image_load.h"
#include "results/pair_sum.h"
#include "support/interrupted.h"
#include "support/pictures.h"
#include "tiles/export.h"
#include "view/overlay.h"

namespace orv::results {
namespace {

using test::readFile;
using test::TestApp;

// Eleven one-pixel dots in row 10, then the 3 x 3 square of Level 100 seeded at (34, 56): the
// square becomes cluster 12.
form::Picture squareScene() {
    return test::greyPicture(100, 100, [](int x, int y) {
        if (y == 9 && x % 8 == 2 && x < 88) return 100;
        if (x >= 33 && x <= 35 && y >= 55 && y <= 57) return 100;
        return 0;
    });
}

struct Analysed {
    TestApp app;
    explicit Analysed(const form::Picture& picture, bool hyotan = false) {
        control::Form_Load(app.ctx);
        test::typicalSettings(app.ws.settings);
        app.frm.chkHyotan.Value = hyotan ? 1 : 0;
        EXPECT_TRUE(test::loadPicture(app, picture, "m42.bmp"));
        control::cmdDoAll_Click(app.ctx);
    }
    std::string dir() const { return app.dir.path() + "/m42.bmp.dir/"; }
};

TEST(ResultFiles, TheRecordOfTheSquareAndTheSettingsLines) {
    Analysed a(squareScene());
    ASSERT_EQ(a.app.ws.MaxStarNo, 12);
    EXPECT_EQ(resultDataLine(a.app.ws, 12),
              "12,34,56,4,2,0,0,0,0,\"\",34.5,56.5,9,900,100,\"33557711\",1.207107,1.414214,1,"
              "0.2071068,1.414214,0,0,0,0");
    cmdSaveData_Click(a.app.ctx);
    EXPECT_EQ(a.app.ws.ProcStage, core::kStageSaved);
    EXPECT_EQ(a.app.host.messages.back().text,
              "結果を画像ファイル名と同じ名前のフォルダに保存しました。");
    const std::string ini = readFile(a.dir() + "m42.bmp.dat.ini");
    std::string expected =
        "[SYSTEM]\r\nProgramVersion = ver 2015/09/27\r\nImageWidthP = 100\r\nImageHeightP = 100\r\n"
        "HeikinWidth = 4\r\nSikiTop = 240\r\nSiki = 4\r\nNumPixel = 5\r\nNumPixel2 = 12\r\n"
        "Sinendo = 2\r\nSinendoMax = 30\r\nMargin = 0\r\n[FILE]\r\nDoFilePath = " +
        a.app.dir.path() + "\r\nDoFileName = m42.bmp\r\n[RESULT]\r\nMaxStarNo = 12\r\n";
    for (int i = 0; i <= 4; ++i)
        for (int j = 0; j <= 10; ++j) {
            char line[48];
            int v = i == 0 && j == 1 ? 11 : i == 0 && j == 2 ? 1 : 0;
            std::snprintf(line, sizeof line, "StarAtrNo_%d_%02d = %d\r\n", i, j, v);
            expected += line;
        }
    EXPECT_EQ(ini, expected);
    const std::string dat = readFile(a.dir() + "m42.bmp.dat");
    EXPECT_EQ(std::count(dat.begin(), dat.end(), '\n'), 12);
    EXPECT_NE(dat.find("1,3,10,4,1,0,0,0,0,\"\",2.5,9.5,1,100,100,\"\",0,0,0,0,0,0,0,0,0\r\n"),
              std::string::npos);
    const std::string t = "2015/09/27 21:03:05 ";
    EXPECT_EQ(readFile(a.dir() + "m42.bmp.log"),
              t + "■恒星位置抽出\r\n" + t + "＞背景処理完了\r\n" + t +
                  "＞ノイズ σ = 0.01、推奨クラスタ閾値 1（2.75σ）\r\n" + t +
                  "＞クラスタ処理完了\r\n" + t + "＞恒星抽出完了\r\n" + t + "■データ保存完了\r\n");
}

TEST(ResultFiles, SavedReadAndSavedAgainIsByteIdentical) {
    // Stars, a gourd split with freed numbers, notes with quotes and commas, edits.
    Analysed a(test::greyPicture(120, 80,
                                 [](int x, int y) {
                                     auto blob = [&](int cx, int cy, int r) {
                                         return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
                                     };
                                     if (blob(20, 20, 4) || blob(60, 30, 3) || blob(68, 30, 3))
                                         return 180;
                                     if (y == 30 && x > 60 && x < 68) return 60;
                                     if (blob(90, 60, 6)) return 250;
                                     if ((x * 7 + y * 13) % 97 == 0) return 90;
                                     return 20;
                                 }),
               true);
    auto& ws = a.app.ws;
    ASSERT_GT(ws.MaxStarNo, 3);
    ws.Clusters[1].Note = "a \"quoted\", note";
    ws.Clusters[2].Note = "二重星, 要確認";
    ws.Clusters[2].EditAtr = 1;
    ws.Stars[3].Spare4 = 0.125f;
    view::cmdReDisp_Click(a.app.ctx);  // recount, as an edit does
    ASSERT_TRUE(OV_SaveData(a.app.ctx));
    const std::string ini1 = readFile(a.dir() + "m42.bmp.dat.ini");
    const std::string dat1 = readFile(a.dir() + "m42.bmp.dat");

    TestApp b;
    control::Form_Load(b.ctx);
    b.host.decoder = a.app.host.decoder;
    b.host.fileAnswers.push_back(a.dir() + "m42.bmp.dat");
    cmdReadData_Click(b.ctx);
    ASSERT_EQ(b.ws.ProcStage, core::kStageRead)
        << (b.host.messages.empty() ? "" : b.host.messages[0].text);
    EXPECT_EQ(b.host.messages.back().text, "抽出結果を読み込みました。確認や編集作業が行えます。");
    EXPECT_EQ(b.ws.Clusters[1].Note, "a \"quoted\", note");
    EXPECT_EQ(b.ws.Stars[1].SumX, 0);  // not stored
    EXPECT_EQ(b.ws.Stars[1].Hankei[0], 0);
    EXPECT_EQ(b.frm.txtHeikinWidth.Text, "9");
    ASSERT_TRUE(OV_SaveData(b.ctx));
    EXPECT_EQ(readFile(a.dir() + "m42.bmp.dat.ini"), ini1);
    EXPECT_EQ(readFile(a.dir() + "m42.bmp.dat"), dat1);
    // The pointer finds each star in the 3 x 3 block around its centroid.
    const auto& s = b.ws.Stars[1];
    EXPECT_EQ(b.ws.ClusterMap(static_cast<int>(s.CenterX) + 1, static_cast<int>(s.CenterY) + 2), 1);
}

// With the detection filter the pair records it and its fractional threshold after the
// 72 lines, and reading it back restores both (a whole-number Siki otherwise).
TEST(ResultFiles, TheFilterIsRecordedAndReadBack) {
    TestApp a;
    control::Form_Load(a.ctx);
    test::typicalSettings(a.ws.settings);
    a.ws.settings.FilterSigma = 1.0f;
    a.ws.settings.Siki = 1.19f;
    ASSERT_TRUE(test::loadPicture(a, squareScene(), "m42.bmp"));
    control::cmdDoAll_Click(a.ctx);
    ASSERT_GT(a.ws.MaxStarNo, 0);
    ASSERT_TRUE(OV_SaveData(a.ctx));
    const std::string dir = a.dir.path() + "/m42.bmp.dir/";
    const std::string ini = readFile(dir + "m42.bmp.dat.ini");
    EXPECT_NE(ini.find("\r\nSiki = 1.19\r\nNumPixel = 5\r\n"), std::string::npos) << ini;
    const std::string tail = "StarAtrNo_4_10 = 0\r\n[DETECT]\r\nFilterSigma = 1\r\nSiki = 1.19\r\n";
    ASSERT_GE(ini.size(), tail.size());
    EXPECT_EQ(ini.substr(ini.size() - tail.size()), tail);
    EXPECT_NE(readFile(dir + "m42.bmp.dat").find(",1.19,"), std::string::npos);

    TestApp b;
    control::Form_Load(b.ctx);
    b.host.decoder = a.host.decoder;
    b.host.fileAnswers.push_back(dir + "m42.bmp.dat");
    cmdReadData_Click(b.ctx);
    ASSERT_EQ(b.ws.ProcStage, core::kStageRead);
    EXPECT_EQ(b.ws.settings.FilterSigma, 1.0f);
    EXPECT_EQ(b.ws.settings.Siki, 1.19f);
    EXPECT_EQ(b.frm.txtFilterSigma.Text, "1");
    EXPECT_EQ(b.frm.txtSiki.Text, "1.19");
    ASSERT_TRUE(OV_SaveData(b.ctx));
    EXPECT_EQ(readFile(dir + "m42.bmp.dat.ini"), ini);

    // Without the filter the same threshold is read back as a whole number (a pair edited by
    // hand is read without its sum file).
    std::filesystem::remove(dir + "m42.bmp.dat.sum");
    test::writeFile(dir + "m42.bmp.dat.ini",
                    ini.substr(0, ini.size() - tail.size()) + "StarAtrNo_4_10 = 0\r\n");
    ASSERT_TRUE(OV_ReadData(b.ctx, dir.substr(0, dir.size() - 1), "m42.bmp.dat"));
    EXPECT_EQ(b.ws.settings.FilterSigma, 0.0f);
    EXPECT_EQ(b.ws.settings.Siki, 1.0f);
}

TEST(ResultFiles, FreedNumbersAreNotWrittenAndStayFree) {
    Analysed a(squareScene());
    auto& ws = a.app.ws;
    ws.Clusters[5].Used = 0;
    ASSERT_TRUE(OV_SaveData(a.app.ctx));
    TestApp b;
    control::Form_Load(b.ctx);
    ASSERT_TRUE(OV_ReadData(b.ctx, a.dir().substr(0, a.dir().size() - 1), "m42.bmp.dat"));
    EXPECT_EQ(b.ws.Clusters[5].Used, 0);
    EXPECT_EQ(b.ws.Clusters[12].Used, -1);
    EXPECT_EQ(b.ws.MaxStarNo, 12);
}

class DamagedFiles : public ::testing::Test {
protected:
    void SetUp() override {
        control::Form_Load(app.ctx);
        folder = app.dir.path();
        test::writeFile(folder + "/x.bmp", "");
        app.ws.MaxStarNo = 77;
        extract::noteTableUse(app.ws);
        app.ws.Clusters[5].Note = "untouched";
        app.ws.settings.Siki = 9;
    }
    void writePair(const std::string& dat, bool withIni = true, int maxStarNo = 3) {
        test::writeFile(folder + "/x.dat", dat);
        if (withIni)
            test::writeFile(folder + "/x.dat.ini",
                            "[SYSTEM]\r\nImageWidthP = 100\r\nImageHeightP = 80\r\nSiki = 4.5\r\n"
                            "[FILE]\r\nDoFilePath = " +
                                folder + "\r\nDoFileName = x.bmp\r\n[RESULT]\r\nMaxStarNo = " +
                                std::to_string(maxStarNo) + "\r\n");
    }
    void expectUnchanged() {
        EXPECT_EQ(app.ws.MaxStarNo, 77);
        EXPECT_EQ(app.ws.Clusters[5].Note, "untouched");
        EXPECT_EQ(app.ws.settings.Siki, 9);
    }
    TestApp app;
    std::string folder;
};

const std::string kGood = "2,1,1,4,3,0,0,0,0,\"\",1.5,1.5,9,900,100,\"33557711\",1,1,1,0,1,0,0,0,0";

TEST_F(DamagedFiles, AreRefusedWithoutChangingAnything) {
    const std::string bad[] = {
        "2,1,1,4,3,0,0,0,0,\"\",1.5,1.5,9,900,100,\"33557711\",1,1,1,0,1,0,0,0",  // 24 fields
        kGood + ",7",                                                             // 26 fields
        "0,1,1,4,3,0,0,0,0,\"\",1.5,1.5,9,900,100,\"\",1,1,1,0,1,0,0,0,0",        // number 0
        "50001,1,1,4,3,0,0,0,0,\"\",1.5,1.5,9,900,100,\"\",1,1,1,0,1,0,0,0,0",    // too high
        "-3,1,1,4,3,0,0,0,0,\"\",1.5,1.5,9,900,100,\"\",1,1,1,0,1,0,0,0,0",       // negative
        "2.5,1,1,4,3,0,0,0,0,\"\",1.5,1.5,9,900,100,\"\",1,1,1,0,1,0,0,0,0",      // not whole
        "x,1,1,4,3,0,0,0,0,\"\",1.5,1.5,9,900,100,\"\",1,1,1,0,1,0,0,0,0",        // not numeric
        "2,1,1,4,3,0,0,0,0,\"\",abc,1.5,9,900,100,\"\",1,1,1,0,1,0,0,0,0",        // a Single
        "2,1,1,4,40000,0,0,0,0,\"\",1.5,1.5,9,900,100,\"\",1,1,1,0,1,0,0,0,0",    // an Integer
        "2,1,1,4,3,0,0,0,0,\"\",1e39,1.5,9,900,100,\"\",1,1,1,0,1,0,0,0,0",       // beyond Single
        "2,1,1,4,3,0,0,0,0,\"\",1.5,1.5,-9,900,100,\"\",1,1,1,0,1,0,0,0,0",       // negative count
        "2,1,1,4,3,0,0,0,0,\"\",1e400,1.5,9,900,100,\"\",1,1,1,0,1,0,0,0,0",      // infinite
        "2,1,1,4,3,0,0,0,0,\"\",1.5,1.5,9,900,100,\"\",1,1,1,1e400,1,0,0,0,0",    // infinite
        "2,1,1e400,4,3,0,0,0,0,\"\",1.5,1.5,9,900,100,\"\",1,1,1,0,1,0,0,0,0",    // infinite seed
        "2,102,1,4,3,0,0,0,0,\"\",1.5,1.5,9,900,100,\"\",1,1,1,0,1,0,0,0,0",      // seed beyond
        "2,1,-1,4,3,0,0,0,0,\"\",1.5,1.5,9,900,100,\"\",1,1,1,0,1,0,0,0,0",       // seed before
        "2,1,1,4,3,0,0,0,0,\"\",1e30,1.5,9,900,100,\"\",1,1,1,0,1,0,0,0,0",       // far centroid
        "2,1,1,4,3,0,0,0,0,\"\",1.5,-81,9,900,100,\"\",1,1,1,0,1,0,0,0,0",        // far centroid
        std::string("2,1,1,4,3,0,0,0,0,\"\xFF\xFE") + "\",1.5,1.5",               // truncated
    };
    for (const auto& line : bad) {
        SCOPED_TRACE(line);
        writePair(kGood + "\r\n" + line + "\r\n");
        auto r = OV_ReadData(app.ctx, folder, "x.dat");
        EXPECT_FALSE(r);
        EXPECT_NE(r.error().find("2 行目"), std::string::npos) << r.error();
        expectUnchanged();
    }
    std::filesystem::remove(folder + "/x.dat.ini");
    writePair(kGood, false);
    EXPECT_FALSE(OV_ReadData(app.ctx, folder, "x.dat"));
    expectUnchanged();
}

TEST_F(DamagedFiles, OddButReadableLines) {
    writePair(kGood + "\r\n\r\n" +
                  "3,2,2,4,3,0,0,0,0,\"plain \"quote\" "
                  "inside\",2.5,.5,9,900,100,\"33x5\",1,1,1,0,1,0,0,0,0\r\n" +
                  "40,5,5,4,1,0,0,0,0,\"say \"\"hi\"\", then, "
                  "go\",1E+01,5,1,1,1,\"\",0,0,0,0,0,0,0,0,0\r\n" +
                  // Added by hand (seed 0, 0), a centroid a little outside the picture.
                  "41,0,0,0,0,2,0,0,0,\"\",-3.5,80.5,0,0,0,\"\",0,0,0,0,0,0,0,0,0\r\n",
              true, 45);
    ASSERT_TRUE(OV_ReadData(app.ctx, folder, "x.dat"));
    auto& ws = app.ws;
    EXPECT_EQ(ws.Clusters[3].Note, "plain \"quote\" inside");
    EXPECT_EQ(ws.Stars[3].CenterY, 0.5f);
    EXPECT_EQ(ws.Stars[3].Outline, "33x5");  // kept as read: the next save loses nothing
    EXPECT_NE(app.frm.lblMsg.Caption.find("外形"), std::string::npos);
    EXPECT_EQ(ws.Clusters[41].EditAtr, 2);
    EXPECT_EQ(ws.Clusters[40].Note, "say \"hi\", then, go");
    EXPECT_EQ(ws.Stars[40].CenterX, 10.0f);
    EXPECT_EQ(ws.MaxStarNo, 45);     // numbers above 41 were freed before saving
    EXPECT_EQ(ws.settings.Siki, 4);  // 4.5 reads as 4 (ties to even)
    EXPECT_EQ(ws.Clusters[2].Used, -1);
    EXPECT_EQ(ws.Clusters[1].Used, 0);
}

TEST_F(DamagedFiles, AMissingPictureIsReportedAndTheStageRestored) {
    writePair(kGood + "\r\n");
    std::filesystem::remove(folder + "/x.bmp");
    form::setStage(app.ctx, core::kStageAnalysed);
    app.host.fileAnswers.push_back(folder + "/x.dat");
    cmdReadData_Click(app.ctx);
    ASSERT_EQ(app.host.messages.size(), 1u);
    EXPECT_NE(app.host.messages[0].text.find("x.bmp"), std::string::npos);
    EXPECT_EQ(app.ws.ProcStage, core::kStageAnalysed);
    expectUnchanged();
    // A cancelled dialog restores the stage silently; a missing file says so.
    cmdReadData_Click(app.ctx);
    EXPECT_EQ(app.ws.ProcStage, core::kStageAnalysed);
    EXPECT_EQ(app.host.messages.size(), 1u);
    app.host.fileAnswers.push_back(folder + "/none.dat");
    cmdReadData_Click(app.ctx);
    EXPECT_EQ(app.host.messages.back().text, "データファイルが存在しません。");
}

TEST(ResultFiles, ClipboardResultsGoToTheProgramFolderAndSavingTwiceReplaces) {
    TestApp app;
    control::Form_Load(app.ctx);
    test::typicalSettings(app.ws.settings);
    app.host.clipboard = [] { return core::Result<form::Picture>(squareScene()); };
    ASSERT_TRUE(input::cmdDataIn_Click(app.ctx, input::kSourceClipboard));
    control::cmdDoAll_Click(app.ctx);
    cmdSaveData_Click(app.ctx);
    cmdSaveData_Click(app.ctx);
    EXPECT_EQ(app.host.messages.back().text, "結果をプログラムの起動フォルダーに保存しました。");
    const std::string dat = readFile(app.programFolder() + "/clipboard.dat");
    EXPECT_EQ(std::count(dat.begin(), dat.end(), '\n'), 12);
    EXPECT_NE(readFile(app.programFolder() + "/clipboard.ini").find("DoFilePath = clipboard"),
              std::string::npos);
    TestApp b;
    control::Form_Load(b.ctx);
    b.ws.folders = app.ws.folders;
    ASSERT_TRUE(OV_ReadData(b.ctx, "clipboard", ""));
    EXPECT_EQ(b.ws.MaxStarNo, 12);
}

// An outline with a bad character survives reading, redrawing (which stops at the character)
// and saving again; the notice stays on the message line after the redraw.
TEST(ResultFiles, AnOddOutlineIsKeptThroughReadingAndSaving) {
    Analysed a(squareScene());
    ASSERT_TRUE(OV_SaveData(a.app.ctx));
    const std::string dat = a.dir() + "m42.bmp.dat";
    std::string text = readFile(dat);
    const size_t at = text.find("\"33557711\"");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 10, "\"33x57711\"");
    test::writeFile(dat, text);
    std::filesystem::remove(dat + ".sum");  // changed by hand: read as it is
    TestApp b;
    control::Form_Load(b.ctx);
    b.host.decoder = a.app.host.decoder;
    b.host.fileAnswers.push_back(dat);
    cmdReadData_Click(b.ctx);
    ASSERT_EQ(b.ws.ProcStage, core::kStageRead);
    EXPECT_EQ(b.ws.Stars[12].Outline, "33x57711");
    EXPECT_NE(b.frm.lblMsg.Caption.find("外形"), std::string::npos);
    // Drawn from the seed (34, 56) down twice, then stopped.
    const auto& marked = b.frm.picHSC[4].canvas;
    EXPECT_EQ(marked.pixel(33, 57), form::RGB(255, 0, 255));
    EXPECT_EQ(marked.pixel(34, 57), form::greyRgb(100));
    cmdSaveData_Click(b.ctx);
    EXPECT_EQ(readFile(dat), text);
}

// The pair is replaced as one unit: a save that cannot replace the record file keeps the old
// settings file too, and leaves no temporary file. Temporary files of a killed save are
// removed by the next one; those of a running process are left alone.
TEST(ResultFiles, ThePairIsReplacedAsOneUnit) {
    Analysed a(squareScene());
    ASSERT_TRUE(OV_SaveData(a.app.ctx));
    const std::string ini = a.dir() + "m42.bmp.dat.ini", dat = a.dir() + "m42.bmp.dat";
    const std::string oldIni = readFile(ini);
    auto leftovers = [&] {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(a.dir())) {
            const std::string n = e.path().filename().string();
            if (n.find(".tmp") != std::string::npos || n.find(".old") != std::string::npos)
                names.insert(n);
        }
        return names;
    };
    std::filesystem::remove(dat);
    std::filesystem::create_directory(dat);  // the record file cannot be replaced
    a.app.ws.MaxStarNo = 11;                 // a different result
    EXPECT_FALSE(OV_SaveData(a.app.ctx));
    EXPECT_EQ(readFile(ini), oldIni);
    EXPECT_TRUE(leftovers().empty());
    std::filesystem::remove(dat);

    test::writeFile(dat + ".tmp2000000000_0", "half a record");         // a killed save
    test::writeFile(ini + ".old2000000000_1", "an old settings file");  // killed mid-replace
    test::writeFile(dat + ".tmp1_0", "saving now");                     // pid 1 runs
    ASSERT_TRUE(OV_SaveData(a.app.ctx));
    EXPECT_EQ(leftovers(), std::set<std::string>{"m42.bmp.dat.tmp1_0"});
    EXPECT_NE(readFile(ini).find("MaxStarNo = 11"), std::string::npos);
}

TEST(ResultFiles, AFailedSaveSaysSoAndKeepsTheStage) {
    Analysed a(squareScene());
    // The result folder's place is taken by a file.
    std::filesystem::remove_all(a.dir());
    test::writeFile(a.app.dir.path() + "/m42.bmp.dir", "");
    cmdSaveData_Click(a.app.ctx);
    EXPECT_NE(a.app.host.messages.back().text.find("保存できませんでした"), std::string::npos);
    EXPECT_EQ(a.app.ws.ProcStage, core::kStageAnalysed);
}

}  // namespace
}  // namespace orv::results

namespace orv::results {
namespace {

// Random damage to a real record file: every reading either refuses it or takes it, and never
// reads out of bounds (the test build checks every access).
TEST(ResultFiles, RandomlyDamagedFilesNeverCrashTheReader) {
    test::TestApp app;
    control::Form_Load(app.ctx);
    test::typicalSettings(app.ws.settings);
    ASSERT_TRUE(test::loadPicture(
        app,
        test::greyPicture(60, 40,
                          [](int x, int y) {
                              return (x - 20) * (x - 20) + (y - 20) * (y - 20) < 9 ||
                                             (x * 3 + y * 7) % 53 == 0
                                         ? 200
                                         : 10;
                          }),
        "m.bmp"));
    control::cmdDoAll_Click(app.ctx);
    ASSERT_TRUE(OV_SaveData(app.ctx));
    const std::string folder = app.dir.path() + "/m.bmp.dir";
    const std::string good = test::readFile(folder + "/m.bmp.dat");
    std::filesystem::remove(folder + "/m.bmp.dat.sum");  // the structure is all there is to go by
    uint32_t seed = 99;
    auto rnd = [&](uint32_t n) { return (seed = seed * 1103515245u + 12345u) / 65536u % n; };
    const std::string alphabet = ",\"\r\n0123456789.-eE x\xE3\x81\x82";
    int refused = 0;
    for (int round = 0; round < 300; ++round) {
        std::string damaged = good;
        for (uint32_t k = 0, edits = 1 + rnd(6); k < edits; ++k) {
            const size_t at = rnd(static_cast<uint32_t>(damaged.size() + 1));
            switch (rnd(3)) {
                case 0:
                    damaged.insert(at, 1, alphabet[rnd(static_cast<uint32_t>(alphabet.size()))]);
                    break;
                case 1:
                    if (at < damaged.size()) damaged.erase(at, 1 + rnd(20));
                    break;
                default:
                    damaged = damaged.substr(0, at);
                    break;
            }
        }
        test::writeFile(folder + "/m.bmp.dat", damaged);
        refused += !OV_ReadData(app.ctx, folder, "m.bmp.dat");
        ASSERT_LE(app.ws.MaxStarNo, extract::kMaxStarNo);
    }
    EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace orv::results

namespace orv::results {
namespace {

namespace fs = std::filesystem;

// The sum file names both files and the records, and the same results give the same sum. The
// checksum of the pixels is the one a tile's layout records.
TEST(PairSum, ASaveWritesTheSumLastAndTheSameResultsTheSameSum) {
    Analysed a(squareScene());
    ASSERT_TRUE(OV_SaveData(a.app.ctx));
    const std::string dat = a.dir() + "m42.bmp.dat", sumFile = dat + ".sum";
    const std::string sum = readFile(sumFile);
    auto parsed = core::parseSumFile(sum);
    ASSERT_TRUE(parsed) << parsed.error();
    ASSERT_EQ(parsed->files.size(), 3u);
    EXPECT_EQ(parsed->files[0].name, "m42.bmp.dat.ini");
    EXPECT_EQ(parsed->files[1].name, "m42.bmp.dat");
    EXPECT_EQ(parsed->files[1].bytes, readFile(dat).size());
    EXPECT_EQ(parsed->files[2].name, "m42.bmp.dat.meas");
    EXPECT_EQ(parsed->records, 12);
    EXPECT_FALSE(parsed->picture);  // recorded for tiles only
    EXPECT_EQ(pictureChecksum(a.app.ws), tiles::tileChecksum(squareScene()));
    ASSERT_TRUE(OV_SaveData(a.app.ctx));
    EXPECT_EQ(readFile(sumFile), sum);
    // A read-only pair stays read-only.
    fs::permissions(dat, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ASSERT_TRUE(OV_SaveData(a.app.ctx));
    EXPECT_EQ(fs::status(dat).permissions(),
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

std::vector<std::string> leftoversIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::string n = e.path().filename().string();
        if (n.find(".old") != n.npos || n.find(".tmp") != n.npos) names.push_back(n);
    }
    return names;
}

// A save killed between its two renames leaves the new settings file beside the old record
// file; the reader puts the old pair back (and says so), or refuses the mix saying why.
TEST(PairSum, ASaveKilledAfterItsFirstRenameIsPutBackByTheReader) {
    Analysed a(squareScene());
    ASSERT_TRUE(OV_SaveData(a.app.ctx));
    const std::string ini = a.dir() + "m42.bmp.dat.ini", dat = a.dir() + "m42.bmp.dat";
    const std::string oldIni = readFile(ini), oldDat = readFile(dat);
    a.app.ws.settings.Siki = 7;
    a.app.ws.Clusters[12].Note = "changed";
    ASSERT_TRUE(test::killedAfterReplace(0, [&] { (void)OV_SaveData(a.app.ctx); }));
    EXPECT_NE(readFile(ini), oldIni);
    EXPECT_EQ(readFile(dat), oldDat);

    TestApp b;
    control::Form_Load(b.ctx);
    ASSERT_TRUE(OV_ReadData(b.ctx, a.app.dir.file("m42.bmp.dir"), "m42.bmp.dat"));
    EXPECT_EQ(b.ws.settings.Siki, 4);
    EXPECT_EQ(b.ws.Clusters[12].Note, "");
    EXPECT_NE(b.frm.lblMsg.Caption.find("保存が途中で止まって"), std::string::npos);
    EXPECT_EQ(readFile(ini), oldIni);

    ASSERT_TRUE(test::killedAfterReplace(0, [&] { (void)OV_SaveData(a.app.ctx); }));
    for (const std::string& name : leftoversIn(a.dir())) fs::remove(a.dir() + name);
    auto refused = readResultFiles(ini, dat);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().find("m42.bmp.dat.ini が m42.bmp.dat.sum の記録と合いません"),
              std::string::npos)
        << refused.error();
}

// A save holds the result folder: a second save waits, and a reader that finds the pair half
// replaced waits for the save and then reads the whole new pair.
TEST(PairSum, ASaveUnderWayMakesOtherSavesAndReadersWait) {
    Analysed a(squareScene());
    ASSERT_TRUE(OV_SaveData(a.app.ctx));
    const std::string ini = a.dir() + "m42.bmp.dat.ini", dat = a.dir() + "m42.bmp.dat";
    a.app.ws.settings.Siki = 7;
    std::optional<core::Result<ResultFiles>> read;
    {
        test::PausedSave save([&] { (void)OV_SaveData(a.app.ctx); });
        ASSERT_TRUE(save.stopped());
        EXPECT_FALSE(core::FolderLock(a.dir(), core::FolderLock::Wait::No).held());
        std::thread reader([&] { read.emplace(readResultFiles(ini, dat)); });
        EXPECT_TRUE(save.go());
        reader.join();
    }
    ASSERT_TRUE(read && read->ok()) << read->error();
    EXPECT_FALSE(read->value().restored);
    EXPECT_EQ(read->value().settings.Siki, 7);
}

// Damage a pair without a sum file can show only by its structure, and a pair cut at a line
// boundary that its sum file shows.
TEST_F(DamagedFiles, ThePairsStructureIsCheckedWithoutASumFile) {
    const std::string line3 = "3,1,1,4,3,0,0,0,0,\"\",1.5,1.5,9,900,100,\"\",1,1,1,0,1,0,0,0,0";
    const struct {
        std::string dat;
        int maxStarNo;
        const char* says;
    } cases[] = {
        {kGood + "\r\n" + kGood + "\r\n", 3, "2 行目: 番号 2 が 2 度あります"},
        {line3 + "\r\n" + kGood + "\r\n", 3, "2 行目: 番号 2 が前の番号 3 より小さく"},
        {kGood + "\r\n" + line3 + "\r\n", 2, "番号 3 が MaxStarNo (2) を超えています"},
        {kGood + "\r\n", 50001, "MaxStarNo 50001 が 0 から 50000"},
        {kGood + "\r\n" + line3, 3, "最後の行が途中で切れています"},
        {"", 3, "記録が 1 件もありません"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        writePair(c.dat, true, c.maxStarNo);
        auto r = OV_ReadData(app.ctx, folder, "x.dat");
        ASSERT_FALSE(r);
        EXPECT_NE(r.error().find(c.says), std::string::npos) << r.error();
        expectUnchanged();
    }
    writePair("", true, 0);  // nothing issued, nothing recorded
    EXPECT_TRUE(OV_ReadData(app.ctx, folder, "x.dat"));
    // A settings file that cannot be read.
    writePair(kGood + "\r\n");
    fs::remove(folder + "/x.dat.ini");
    fs::create_directory(folder + "/x.dat.ini");
    EXPECT_FALSE(readResultFiles(folder + "/x.dat.ini", folder + "/x.dat"));
}

TEST(PairSum, ARecordFileCutAtALineBoundaryIsRefusedByItsSum) {
    Analysed a(squareScene());
    ASSERT_TRUE(OV_SaveData(a.app.ctx));
    const std::string dat = a.dir() + "m42.bmp.dat";
    const std::string full = readFile(dat);
    test::writeFile(dat, full.substr(0, full.find('\n') + 1));
    auto r = readResultFiles(dat + ".ini", dat);
    ASSERT_FALSE(r);
    EXPECT_NE(r.error().find("m42.bmp.dat が m42.bmp.dat.sum の記録と合いません"),
              std::string::npos)
        << r.error();
    // In the window: the box, and the reason on the message line; nothing read.
    a.app.host.fileAnswers.push_back(dat);
    cmdReadData_Click(a.app.ctx);
    EXPECT_EQ(a.app.host.messages.back().text, r.error());
    EXPECT_NE(a.app.frm.lblMsg.Caption.find("記録と合いません"), std::string::npos);
    EXPECT_EQ(a.app.ws.ProcStage, core::kStageAnalysed);
}

// A record line is hand work when its edit mark (field 5) is set, it has a note (field 9), or
// its class (field 4) is noise released as real; quoted notes may hold commas and quotes.
TEST(HandWork, TheRecordsOfTheFileThatHoldHandWork) {
    const std::string plain = "1,3855,6,8,3,0,0,0,0,\"\",3855.12,8.05,25\r\n";
    const std::vector<std::pair<std::string, int>> cases = {
        {plain + "2,3168,7,8,3,0,0,0,0,\"\"", 0},
        {plain + "2,3168,7,8,3,2,0,0,0,\"\"", 1},
        {plain + "2,3168,7,8,5,0,0,0,0,\"\"", 1},
        {plain + "2,3168,7,8,3,0,0,0,0,\"a, b\"", 1},
        {plain + "2,3168,7,8,3,0,0,0,0, \"say \"\"hi\"\"\" ,9", 1},
        {plain + "2,3168,7,8,3,0,0,0,0,\"\"\"\",9\n3,1,1,1,1,1,0,0,0", 1},
        {"\xEF\xBB\xBF" + plain + "2,3168,7,8,3, 1 ,0,0,0,\r\n3,1,1,1,1,1,0,0", 1},
    };
    for (const auto& [bytes, count] : cases) EXPECT_EQ(handWorkRecords(bytes), count) << bytes;
}

// Hand work saved earlier is never replaced without asking by results that do not come from it,
// and is kept as the ".bak" pair; results read from the pair save over it without a question.
TEST(HandWork, SavingOverHandEditsAsksFirstAndKeepsThemAsBak) {
    Analysed a(squareScene());
    auto& app = a.app;
    const std::string ini = a.dir() + "m42.bmp.dat.ini", dat = a.dir() + "m42.bmp.dat";
    app.ws.Clusters[12].EditAtr = extract::kEditDeleted;
    app.ws.Clusters[3].Note = "double?";
    cmdSaveData_Click(app.ctx);
    cmdSaveData_Click(app.ctx);  // the same results again: nothing to ask
    ASSERT_EQ(app.host.messages.size(), 2u);
    const std::string editedIni = readFile(ini), editedDat = readFile(dat);
    const std::string editedSum = readFile(dat + ".sum");

    control::cmdDoAll_Click(app.ctx);  // fresh results, not from the pair on disk
    app.host.msgAnswers.push_back(form::MsgAnswer::Cancel);
    cmdSaveData_Click(app.ctx);
    ASSERT_EQ(app.host.messages.size(), 3u);
    EXPECT_EQ(app.host.messages.back().buttons, form::MsgButtons::OkCancel);
    EXPECT_NE(app.host.messages.back().text.find("手作業の編集"), std::string::npos);
    EXPECT_NE(app.host.messages.back().text.find("m42.bmp.dat.bak"), std::string::npos);
    EXPECT_EQ(readFile(dat), editedDat);
    EXPECT_FALSE(fs::exists(dat + ".bak"));
    EXPECT_EQ(app.ws.ProcStage, core::kStageAnalysed);
    EXPECT_NE(app.frm.lblMsg.Caption.find("保存を取りやめました"), std::string::npos);

    cmdSaveData_Click(app.ctx);  // answered OK
    EXPECT_EQ(app.ws.ProcStage, core::kStageSaved);
    EXPECT_EQ(readFile(dat + ".bak"), editedDat);
    EXPECT_EQ(readFile(ini + ".bak"), editedIni);
    EXPECT_EQ(readFile(dat + ".sum.bak"), editedSum);
    EXPECT_EQ(handWorkRecords(readFile(dat)), 0);
    EXPECT_NE(app.frm.lblMsg.Caption.find("m42.bmp.dat.bak"), std::string::npos);
    const size_t boxes = app.host.messages.size();
    cmdSaveData_Click(app.ctx);  // nothing by hand on disk now
    EXPECT_EQ(app.host.messages.size(), boxes + 1);

    // The batch and the command line save without asking, keeping the hand work all the same.
    for (const char* f : {"m42.bmp.dat.ini", "m42.bmp.dat", "m42.bmp.dat.sum"})
        fs::copy_file(a.dir() + f + ".bak", a.dir() + f, fs::copy_options::overwrite_existing);
    fs::remove(dat + ".bak");
    control::cmdDoAll_Click(app.ctx);
    ASSERT_TRUE(OV_SaveData(app.ctx));
    EXPECT_EQ(app.host.messages.size(), boxes + 1);
    EXPECT_EQ(readFile(dat + ".bak"), editedDat);
    EXPECT_NE(readFile(a.dir() + "m42.bmp.log").find("＞手作業の結果を m42.bmp.dat.bak と"),
              std::string::npos);

    // Results read from an edited pair are its own: edited further (a deleted star restored)
    // and saved, without a question.
    fs::copy_file(dat + ".bak", dat, fs::copy_options::overwrite_existing);
    fs::copy_file(ini + ".bak", ini, fs::copy_options::overwrite_existing);
    fs::copy_file(dat + ".sum.bak", dat + ".sum", fs::copy_options::overwrite_existing);
    fs::remove(dat + ".bak");
    TestApp b;
    control::Form_Load(b.ctx);
    b.host.decoder = app.host.decoder;
    b.host.fileAnswers.push_back(dat);
    cmdReadData_Click(b.ctx);
    ASSERT_EQ(b.ws.ProcStage, core::kStageRead);
    b.ws.Clusters[12].EditAtr = 0;
    cmdSaveData_Click(b.ctx);
    EXPECT_EQ(b.host.messages.size(), 2u);  // read, saved
    EXPECT_FALSE(fs::exists(dat + ".bak"));
}

}  // namespace
}  // namespace orv::results
