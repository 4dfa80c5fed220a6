// PSF entries: adopting, starting anew, the PSF file pair and its reader, the setting boxes.

#include <filesystem>

#include "psf/entries.h"
#include "psf/psf_files.h"
#include "psf/psf_settings.h"
#include "psf/records.h"
#include "psf_scene.h"

namespace orv::test {
namespace {

// A window with a picture and five results, whose "profiles" are set directly.
struct Entries : PsfScene {
    Entries()
        : PsfScene({{20.5f, 20.5f, 1, 0},
                    {30.5f, 20.5f, 1, 0},
                    {40.5f, 20.5f, 1, 0},
                    {20.5f, 40.5f, 1, 0},
                    {30.5f, 40.5f, 1, 0}}) {}
    // As if star n's profile had just been computed with this sigma.
    void profile(int32_t n, float sigma, float peak = 100) {
        auto& p = ws.psf;
        p.PSFStarNo = n;
        p.PSFSigma = sigma;
        p.PSFPeak = peak;
        p.ProfileOwn = true;
    }
    void adopt(int32_t n, float sigma) {
        profile(n, sigma);
        psf::cmdPSFEntry_Click(ctx);
    }
    std::vector<std::string> labels() const {
        std::vector<std::string> l;
        for (int k = 0; k < 6; ++k) l.push_back(label(k));
        return l;
    }
    std::string work(const std::string& name) const { return dir.file(name); }
};

TEST(PsfEntries, AdoptingKeepsCountMeanAndSpreadWithTheTable) {
    Entries t;
    t.adopt(1, 1);
    t.adopt(2, 2);
    t.adopt(3, 3);
    const auto& p = t.ws.psf;
    EXPECT_EQ(p.PSFDataNo, 3);
    EXPECT_EQ(p.PSFsd, 2);
    EXPECT_FLOAT_EQ(p.PSFsdd, std::sqrt(2.0f / 3));
    EXPECT_EQ(t.label(2), " 3");
    EXPECT_EQ(t.label(3), "2.");
    EXPECT_EQ(t.label(4), "0.82");
    const psf::PSFEntryRec& e = p.PSFEntries[2];
    EXPECT_EQ(e.StarNo, 2);
    EXPECT_EQ(e.CenterX, 30.5f);
    EXPECT_EQ(e.DoFileName, "test.bmp");
    EXPECT_EQ(e.PSFAnnulus, 4);
    EXPECT_EQ(e.Mark, 1);
    EXPECT_TRUE(t.messages().empty());

    // 新規 (confirmed) then 採用 with the profile still shown: one entry of its sigma.
    t.host.msgAnswers = {form::MsgAnswer::Cancel};
    psf::cmdPSFEntryClear_Click(t.ctx);
    EXPECT_EQ(p.PSFDataNo, 3);
    psf::cmdPSFEntryClear_Click(t.ctx);
    EXPECT_EQ(p.PSFDataNo, 0);
    EXPECT_EQ(p.PSFsd, 0);
    EXPECT_EQ(t.labels(),
              (std::vector<std::string>{"----", "----", "----", "----", "----", "----"}));
    psf::cmdPSFEntry_Click(t.ctx);
    EXPECT_EQ(p.PSFDataNo, 1);
    EXPECT_EQ(p.PSFsd, 3);
    EXPECT_EQ(p.PSFsdd, 0);
    EXPECT_EQ(t.label(4), "0.");
}

TEST(PsfEntries, NothingIsAdoptedWithoutAProfileOrRoom) {
    Entries t;
    psf::cmdPSFEntry_Click(t.ctx);  // nothing computed yet: no division by a zero count
    EXPECT_EQ(t.ws.psf.PSFDataNo, 0);
    EXPECT_EQ(t.label(3), "----");
    ASSERT_EQ(t.messages().size(), 1u);
    EXPECT_NE(t.messages()[0].find("採用するPSFプロフィールがありません"), std::string::npos);

    for (int i = 0; i < psf::kMaxEntries; ++i) t.adopt(1 + i % 5, 1 + i % 2);
    EXPECT_EQ(t.ws.psf.PSFDataNo, 100);
    t.host.messages.clear();
    t.adopt(4, 9);
    EXPECT_EQ(t.ws.psf.PSFDataNo, 100);
    EXPECT_EQ(t.ws.psf.PSFsd, 1.5f);
    ASSERT_EQ(t.messages().size(), 1u);
    EXPECT_NE(t.messages()[0].find("100 件まで"), std::string::npos);
}

TEST(PsfFiles, SavedPairReadsBackAsItWas) {
    Entries t;
    t.ws.DoFilePath = "C:\\sky \"north\"";
    t.adopt(1, 1.25f);
    t.ws.psf.PSFEntries[1].PSFSpare2 = 7;
    t.adopt(5, 2.5f);
    psf::cmdPSFSave_Click(t.ctx);
    ASSERT_EQ(t.messages().back(), "PSFプロファイルを、ワークフォルダーに保存しました。");
    EXPECT_EQ(readFile(t.work("PSFData.txt")),
              "1,1,20.5,20.5,4,2,0,1.25,100,1,7,0,\"C:\\sky \"\"north\"\"\",\"test.bmp\"\r\n"
              "2,5,30.5,40.5,4,2,0,2.5,100,1,0,0,\"C:\\sky \"\"north\"\"\",\"test.bmp\"\r\n");
    EXPECT_EQ(readFile(t.work("PSFData.ini")),
              "[PSF]\r\nDate = 2015/09/27 21:03:05\r\nDataNo =  2\r\nPSFsd =  1.875\r\n"
              "PSFsdd =  0.625\r\n");

    const psf::PsfState saved = t.ws.psf;
    psf::cmdPSFEntryClear_Click(t.ctx);
    t.host.fileAnswers = {t.work("psfdata.INI")};  // any letter case
    std::filesystem::rename(t.work("PSFData.ini"), t.work("psfdata.INI"));
    psf::cmdPSFRead_Click(t.ctx);
    EXPECT_EQ(t.messages().back(), "PSFプロファイルを読込ました。");
    const auto& p = t.ws.psf;
    EXPECT_EQ(p.PSFDataNo, 2);
    EXPECT_EQ(psf::psfDataLines(p), psf::psfDataLines(saved));
    EXPECT_EQ(p.PSFsd, 1.875f);
    EXPECT_EQ(t.labels(), (std::vector<std::string>{"---", "---", " 2", "1.875", "0.625", "----"}));

    // An empty table saves an empty data file and reads back without a mismatch.
    psf::cmdPSFEntryClear_Click(t.ctx);
    psf::cmdPSFSave_Click(t.ctx);
    EXPECT_EQ(readFile(t.work("PSFData.txt")), "");
    EXPECT_NE(readFile(t.work("PSFData.ini")).find("DataNo =  0\r\n"), std::string::npos);
    psf::OV_ReadPSFData(t.ctx, t.dir.path(), "PSFData.ini");
    EXPECT_EQ(t.messages().back(), "PSFプロファイルを読込ました。");
    EXPECT_EQ(p.PSFDataNo, 0);
}

TEST(PsfFiles, TheStoredMeanAndSpreadAreTakenAsTheyStand) {
    Entries t;
    // Entries of sigma 1 and 2 (mean 1.5, spread 0.5) under a stored mean 5 and spread 0.25.
    writeFile(t.work("PSFData.txt"),
              "1,1,20.5,20.5,4,2,0,1,100,1,0,0,\"/sky\",\"test.bmp\"\r\n"
              "2,2,30.5,20.5,4,2,0,2,100,1,0,0,\"/sky\",\"test.bmp\"\r\n");
    writeFile(t.work("PSFData.ini"),
              "[PSF]\r\nDate = 2015/09/27 21:03:05\r\nDataNo =  2\r\nPSFsd =  5\r\n"
              "PSFsdd =  0.25\r\n");
    psf::OV_ReadPSFData(t.ctx, t.dir.path(), "PSFData.ini");
    ASSERT_EQ(t.messages().back(), "PSFプロファイルを読込ました。");
    EXPECT_EQ(t.ws.psf.PSFsd, 5);
    EXPECT_EQ(t.ws.psf.PSFsdd, 0.25f);
    EXPECT_EQ(t.label(3), "5.");
    EXPECT_EQ(t.label(4), "0.25");
}

TEST(PsfFiles, ABadPairChangesNothingAndACountMismatchEmptiesTheTable) {
    Entries t;
    t.adopt(1, 1);
    t.adopt(2, 2);
    psf::cmdPSFSave_Click(t.ctx);
    const std::string good = readFile(t.work("PSFData.txt"));
    const std::string record = good.substr(0, good.find("\r\n") + 2);
    std::string many;
    for (int i = 0; i < 101; ++i) many += record;
    const psf::PsfState before = t.ws.psf;
    // Changed after the save: refused by PSFData.sum, naming the file.
    writeFile(t.work("PSFData.txt"), record);
    psf::OV_ReadPSFData(t.ctx, t.dir.path(), "PSFData.ini");
    EXPECT_NE(t.messages().back().find("PSFData.txt が PSFData.sum の記録と合いません"),
              std::string::npos)
        << t.messages().back();
    EXPECT_EQ(psf::psfDataLines(t.ws.psf), psf::psfDataLines(before));
    // Written by hand from here on: no sum file, each file's own checks.
    std::filesystem::remove(t.work("PSFData.sum"));
    const struct {
        std::string file, text, said;
    } refused[] = {
        {"other.ini", "", "指定のファイルは、PSFプロファイルデータではありません。"},
        {"PSFData.ini", many, "100 件を超えています"},
        {"PSFData.ini", record + "1,2,3\r\n", "2 行目を読めません: 項目の数が 3 です"},
        {"PSFData.ini", record + "2,x" + record.substr(3), "2 番目の項目が数値ではありません: x"},
        {"PSFData.ini", record + "2,1,1E+39" + record.substr(8),
         "3 番目の項目が範囲を超えています"},
        {"PSFData.ini", "", "データファイルがありません"},  // no PSFData.txt at all
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.said);
        if (c.text.empty())
            std::filesystem::remove(t.work("PSFData.txt"));
        else
            writeFile(t.work("PSFData.txt"), c.text);
        psf::OV_ReadPSFData(t.ctx, t.dir.path(), c.file);
        EXPECT_NE(t.messages().back().find(c.said), std::string::npos) << t.messages().back();
        EXPECT_EQ(psf::psfDataLines(t.ws.psf), psf::psfDataLines(before));
        EXPECT_EQ(t.ws.psf.PSFsd, before.PSFsd);
        EXPECT_EQ(t.label(2), " 2");
    }

    // One record more than DataNo: refused, the table emptied, nothing adoptable until 新規.
    writeFile(t.work("PSFData.txt"), good + record);
    psf::OV_ReadPSFData(t.ctx, t.dir.path(), "PSFData.ini");
    EXPECT_EQ(t.messages().back(), "データ数が一致しません。読み込みを中止します。");
    EXPECT_EQ(t.ws.psf.PSFDataNo, 0);
    EXPECT_EQ(t.ws.psf.PSFsd, 0);
    EXPECT_EQ(t.label(3), "---");
    t.adopt(3, 3);
    EXPECT_EQ(t.ws.psf.PSFDataNo, 0);
    EXPECT_NE(t.messages().back().find("「新規」"), std::string::npos);
    psf::cmdPSFEntryClear_Click(t.ctx);
    t.adopt(3, 3);
    EXPECT_EQ(t.ws.psf.PSFDataNo, 1);
}

TEST(PsfFiles, AFailedSaveSaysSoAndKeepsTheOldPair) {
    Entries t;
    t.adopt(1, 1);
    psf::cmdPSFSave_Click(t.ctx);
    const std::string txt = readFile(t.work("PSFData.txt"));
    // PSFData.ini cannot be replaced (a folder stands in its place): PSFData.txt stays too.
    std::filesystem::remove(t.work("PSFData.ini"));
    std::filesystem::create_directory(t.work("PSFData.ini"));
    t.adopt(2, 2);
    psf::cmdPSFSave_Click(t.ctx);
    EXPECT_NE(t.messages().back().find("PSFプロファイルを保存できませんでした。"),
              std::string::npos);
    EXPECT_EQ(readFile(t.work("PSFData.txt")), txt);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(t.dir.path()), {}), 5)
        << "test.bmp, program, PSFData.txt, PSFData.ini, PSFData.sum";

    t.ws.settings.WorkPath = t.work("missing");
    psf::cmdPSFSave_Click(t.ctx);
    EXPECT_NE(t.messages().back().find("ワークフォルダーがありません"), std::string::npos);
}

TEST(PsfSettings, BoxesCheckTheirValues) {
    Entries t;
    auto& s = t.ws.settings;
    auto& f = t.frm;
    const struct {
        form::TextBox& box;
        void (*handler)(form::Ctx&);
        float& setting;
        std::string text, shown;
        float value;
    } cases[] = {
        {f.txtPSFFactorRSD, psf::txtPSFFactorRSD_LostFocus, s.PSFFactorRSD, "abc", "0.3", 0.3f},
        {f.txtPSFFactorRSD, psf::txtPSFFactorRSD_LostFocus, s.PSFFactorRSD, "2.5", "0.3", 0.3f},
        {f.txtPSFFactorRSD, psf::txtPSFFactorRSD_LostFocus, s.PSFFactorRSD, "1", "1.0", 1},
        {f.txtPSFFactorRSD, psf::txtPSFFactorRSD_LostFocus, s.PSFFactorRSD, "0.125", "0.13",
         0.125f},
        {f.txtPSFAnnulus, psf::txtPSFAnnulus_LostFocus, s.PSFAnnulus, "12", " 3", 3},
        {f.txtPSFAnnulus, psf::txtPSFAnnulus_LostFocus, s.PSFAnnulus, "1e40", " 3", 3},
        {f.txtPSFAnnulus, psf::txtPSFAnnulus_LostFocus, s.PSFAnnulus, "10", " 10", 10},
        {f.txtPSFDAnnulus, psf::txtPSFDAnnulus_Change, s.PSFDAnnulus, "", " 3", 3},
        {f.txtPSFDAnnulus, psf::txtPSFDAnnulus_Change, s.PSFDAnnulus, "1.5", " 1.5", 1.5f},
        {f.txtPSFDAnnulus, psf::txtPSFDAnnulus_Change, s.PSFDAnnulus, " 12", " 3", 3},
    };
    for (const auto& c : cases) {
        c.box.Text = c.text;
        c.handler(t.ctx);
        EXPECT_EQ(c.box.Text, c.shown) << c.text;
        EXPECT_EQ(c.setting, c.value) << c.text;
    }
}

}  // namespace
}  // namespace orv::test
