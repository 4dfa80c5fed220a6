#include "core/settings.h"
#include "form/settings_boxes.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "control/startup.h"
#include "core/paths.h"
#include "support/test_app.h"

namespace orv::form {
using namespace core;
namespace {

using test::readFile;
using test::TestApp;
using test::writeFile;

std::string settingsFile(TestApp& app) {
    return app.programFolder() + "/Orvandel.ini";
}

TEST(SettingsFile, WritesTheSixteenLinesFromTheGlobals) {
    TestApp app;
    Settings& s = app.ws.settings;
    s = Settings{4, 4, 240, 5, 12, 2, 30, 0, "/data/sky", 2, 4, 2, ""};
    s.NumPixel2 = 12.5f;
    app.frm.txtSiki.Text = "99";  // the boxes are not what is written
    ASSERT_TRUE(OV_SaveIniData(app.ctx));
    EXPECT_EQ(readFile(settingsFile(app)),
              "[SYSTEM]\r\nWorkPath = /data/sky\r\nHeikinWidth = 4\r\nSikiTop = 240\r\nSiki = 4\r\n"
              "NumPixel = 5\r\nNumPixel2 = 12.5\r\nSinendo = 2\r\nSinendoMax = 30\r\nMargin = 0\r\n"
              "[PSF]\r\nPSFFactorRSD = 2\r\nPSFAnnulus = 4\r\nPSFDAnnulus = 2\r\n"
              "[STRETCH]\r\nStretch = percentile:0.1,99.9\r\n");
    // The stretch of deep pictures is read back as written; a file without it reads as "",
    // which is the standard stretch.
    s.Stretch = "range:100,60000";
    ASSERT_TRUE(OV_SaveIniData(app.ctx));
    OV_GetIniData(app.ctx);
    EXPECT_EQ(s.Stretch, "range:100,60000");
    writeFile(settingsFile(app), "[SYSTEM]\r\nSiki = 4\r\n");
    OV_GetIniData(app.ctx);
    EXPECT_EQ(s.Stretch, "");
}

TEST(SettingsFile, ReadsKeysByProfileRulesAndRoundsTheWholeNumberKeys) {
    TestApp app;
    writeFile(settingsFile(app),
              "[system]\r\nsikitop=250.7\r\nSiki = 4.5\r\nHeikinWidth = 3\r\nNumPixel = 4.5\r\n"
              "Sinendo = abc\r\nSinendoMax = 1e400\r\nWorkPath =  D:\\sky  \r\n[PSF]\r\n"
              "PSFFactorRSD = 0.25\r\n");
    OV_GetIniData(app.ctx);
    const Settings& s = app.ws.settings;
    EXPECT_EQ(s.SikiTop, 251);
    EXPECT_EQ(s.Siki, 4);
    EXPECT_EQ(s.HeikinWidth, 3);
    EXPECT_EQ(s.NumPixel, 4.5f);
    EXPECT_EQ(s.Sinendo, 0);
    EXPECT_EQ(s.SinendoMax, 0);
    EXPECT_EQ(s.WorkPath, "D:\\sky");
    EXPECT_EQ(app.frm.txtHeikinWidth.Text, "7");
    EXPECT_EQ(app.frm.txtSikiTop.Text, "251");
    EXPECT_EQ(app.frm.txtNumPixel.Text, "4.5");
    EXPECT_EQ(app.frm.txtPSFFactorRSD.Text, "0.3");
    // A number beyond a Single reads as 0 and is written back as 0, never as infinity.
    ASSERT_TRUE(OV_SaveIniData(app.ctx));
    EXPECT_NE(readFile(settingsFile(app)).find("SinendoMax = 0\r\n"), std::string::npos);
}

TEST(SettingsFile, BadFilesReadAsZeroAndNeverCrash) {
    const std::string bad[] = {
        "",
        "garbage\x01\x02\x03 without lines",
        "[SYSTEM]\rSiki = 7\rSikiTop = 200\r",  // CR-only line ends still read
        "[SYSTEM]\r\nSiki = " + std::string(1 << 20, '9') + "\r\n",
        std::string("[SYSTEM]\r\nWorkPath = \xFF\xFE\x81\r\n"),
    };
    for (const auto& content : bad) {
        TestApp app;
        writeFile(settingsFile(app), content);
        OV_GetIniData(app.ctx);
        EXPECT_EQ(app.ws.settings.HeikinWidth, 0);
        EXPECT_EQ(app.frm.txtHeikinWidth.Text, "1");
    }
    TestApp cr;
    writeFile(settingsFile(cr), bad[2]);
    OV_GetIniData(cr.ctx);
    EXPECT_EQ(cr.ws.settings.Siki, 7);
    EXPECT_EQ(cr.ws.settings.SikiTop, 200);
}

TEST(SettingsFile, NoFileGivesZerosAndAnEmptyWorkPath) {
    TestApp app;
    control::Form_Load(app.ctx);
    EXPECT_EQ(app.ws.settings.Siki, 0);
    EXPECT_EQ(app.ws.settings.WorkPath, "");
    EXPECT_EQ(app.frm.txtHeikinWidth.Text, "1");
    EXPECT_EQ(app.ws.ProcStage, kStageIdle);
    EXPECT_EQ(app.frm.lblVersion.Caption, "ver 2015/09/27");
    // Empty tables: no number in use, room for records 0..50000.
    EXPECT_EQ(app.ws.MaxStarNo, 0);
    EXPECT_EQ(app.ws.Clusters[0].Used, 0);
    EXPECT_GE(app.ws.Clusters.capacity(), 50001u);
    EXPECT_GE(app.ws.Stars.capacity(), 50001u);
    EXPECT_TRUE(app.ws.PixelLevel.empty());
    // Exiting writes the file even when nothing changed.
    control::Form_Unload(app.ctx);
    EXPECT_NE(readFile(settingsFile(app)).find("Siki = 0\r\n"), std::string::npos);
}

TEST(SettingsFile, AnUnwritableProgramFolderSavesToTheUserFolder) {
    TestApp app;
    // A program folder that cannot take files (also for root): a plain file in its place.
    std::filesystem::remove_all(app.programFolder());
    writeFile(app.programFolder(), "");
    app.ws.settings.Siki = 6;
    control::Form_Load(app.ctx);
    EXPECT_NE(app.frm.lblMsg.Caption.find(app.ws.folders.userFolder), std::string::npos);
    app.ws.settings.Siki = 6;
    cmdSaveSettingData_Click(app.ctx);
    EXPECT_EQ(app.host.messages.back().text,
              "設定値を保存しました。次回起動時はこの設定値がデフォルトになります。");
    EXPECT_NE(readFile(app.ws.folders.userFolder + "/Orvandel.ini").find("Siki = 6"),
              std::string::npos);
    // Next start-up reads the user folder's file.
    OV_GetIniData(app.ctx);
    EXPECT_EQ(app.ws.settings.Siki, 6);
}

TEST(SettingsBoxes, LostFocusValidatesLikeTheWindow) {
    struct Case {
        form::TextBox form::FrmOrvandel::*box;
        void (*handler)(Ctx&);
        const char* typed;
        const char* shown;
    };
    using F = form::FrmOrvandel;
    const Case cases[] = {
        {&F::txtHeikinWidth, txtHeikinWidth_LostFocus, "9", "9"},
        {&F::txtHeikinWidth, txtHeikinWidth_LostFocus, "8", "9"},
        {&F::txtHeikinWidth, txtHeikinWidth_LostFocus, "6", "5"},
        {&F::txtHeikinWidth, txtHeikinWidth_LostFocus, "0", "1"},
        {&F::txtHeikinWidth, txtHeikinWidth_LostFocus, "70", "9"},
        {&F::txtHeikinWidth, txtHeikinWidth_LostFocus, "61", "61"},
        {&F::txtHeikinWidth, txtHeikinWidth_LostFocus, "x", "9"},
        {&F::txtHeikinWidth, txtHeikinWidth_LostFocus, "1e39", "9"},
        {&F::txtSikiTop, txtSikiTop_LostFocus, "99", "240"},
        {&F::txtSikiTop, txtSikiTop_LostFocus, "255", "255"},
        {&F::txtSikiTop, txtSikiTop_LostFocus, "256", "240"},
        {&F::txtSikiTop, txtSikiTop_LostFocus, "250.7", "250.7"},
        {&F::txtSiki, txtSiki_LostFocus, "-1", "4"},
        {&F::txtSiki, txtSiki_LostFocus, "4.5", "4.5"},
        {&F::txtNumPixel, txtNumPixel_LostFocus, "4.5", "4"},
        {&F::txtNumPixel, txtNumPixel_LostFocus, "51", "5"},
        {&F::txtNumPixel2, txtNumPixel2_LostFocus, "100", "100"},
        {&F::txtNumPixel2, txtNumPixel2_LostFocus, "abc", "12"},
        {&F::txtSinendo, txtSinendo_LostFocus, "20.5", "2"},
        {&F::txtSinendoMax, txtSinendoMax_LostFocus, "50", "50"},
        {&F::txtMargin, txtMargin_LostFocus, "abc", "0"},
        {&F::txtMargin, txtMargin_LostFocus, "10.5", "10"},
        {&F::txtMargin, txtMargin_LostFocus, "101", "0"},
        {&F::txtMargin, txtMargin_LostFocus, "1e12", "0"},
        // Typed through a Japanese input method.
        {&F::txtSiki, txtSiki_LostFocus, "５", "5"},
        {&F::txtNumPixel2, txtNumPixel2_LostFocus, "１２", "12"},
        {&F::txtHeikinWidth, txtHeikinWidth_LostFocus, "１１", "11"},
        {&F::txtSinendo, txtSinendo_LostFocus, "１．５", "1.5"},
        {&F::txtMargin, txtMargin_LostFocus, "－１", "0"},
        {&F::txtFilterSigma, txtFilterSigma_LostFocus, "1.5", "1.5"},
        {&F::txtFilterSigma, txtFilterSigma_LostFocus, "0.5", "0.5"},
        {&F::txtFilterSigma, txtFilterSigma_LostFocus, "5", "5"},
        {&F::txtFilterSigma, txtFilterSigma_LostFocus, "0", "0"},
        {&F::txtFilterSigma, txtFilterSigma_LostFocus, "0.49", "0"},
        {&F::txtFilterSigma, txtFilterSigma_LostFocus, "5.01", "0"},
        {&F::txtFilterSigma, txtFilterSigma_LostFocus, "abc", "0"},
    };
    for (const auto& c : cases) {
        TestApp app;
        (app.frm.*c.box).Text = c.typed;
        c.handler(app.ctx);
        EXPECT_EQ((app.frm.*c.box).Text, c.shown) << c.typed;
    }
    TestApp app;
    app.frm.txtHeikinWidth.Text = "8";
    txtHeikinWidth_LostFocus(app.ctx);
    EXPECT_EQ(app.ws.settings.HeikinWidth, 4);
    app.frm.txtSikiTop.Text = "250.7";
    txtSikiTop_LostFocus(app.ctx);
    EXPECT_FLOAT_EQ(app.ws.settings.SikiTop, 250.7f);
}

TEST(SettingsFile, TheDetectionFilterIsWrittenInItsOwnSectionOnlyWhenOn) {
    TestApp app;
    Settings& s = app.ws.settings;
    s = defaultSettings();
    s.FilterSigma = 1.5f;
    s.Siki = 1.19f;
    ASSERT_TRUE(OV_SaveIniData(app.ctx));
    const std::string file = readFile(settingsFile(app));
    EXPECT_NE(file.find("\r\nSiki = 1.19\r\n"), std::string::npos) << file;
    const std::string tail =
        "[STRETCH]\r\nStretch = percentile:0.1,99.9\r\n[DETECT]\r\nFilterSigma = 1.5\r\n";
    ASSERT_GE(file.size(), tail.size());
    EXPECT_EQ(file.substr(file.size() - tail.size()), tail);
    s = Settings{};
    OV_GetIniData(app.ctx);
    EXPECT_EQ(s.FilterSigma, 1.5f);
    EXPECT_EQ(s.Siki, 1.19f);
    EXPECT_EQ(app.frm.txtFilterSigma.Text, "1.5");
    EXPECT_EQ(app.frm.txtSiki.Text, "1.19");
}

// FilterSigma is 0.5..5 or off; with it on, Siki is read as a Single (the result pair's own
// key first), with it off as a whole number.
TEST(SettingsFile, TheFilterReadsAsOffOutsideItsRangeAndDecidesHowSikiIsRead) {
    const struct {
        const char* section;
        float filter, siki;
    } cases[] = {
        {"", 0, 2},
        {"[DETECT]\r\nFilterSigma = 1\r\n", 1, 2.5f},
        {"[detect]\r\nfiltersigma=0.5\r\n", 0.5f, 2.5f},
        {"[DETECT]\r\nFilterSigma = 5\r\n", 5, 2.5f},
        {"[DETECT]\r\nFilterSigma = 0.49\r\n", 0, 2},
        {"[DETECT]\r\nFilterSigma = 5.1\r\n", 0, 2},
        {"[DETECT]\r\nFilterSigma = -1\r\n", 0, 2},
        {"[DETECT]\r\nFilterSigma = abc\r\n", 0, 2},
        {"[DETECT]\r\nFilterSigma = 2\r\nSiki = 0.75\r\n", 2, 0.75f},
        {"[DETECT]\r\nSiki = 0.75\r\n", 0, 2},
    };
    for (const auto& c : cases) {
        TestApp app;
        writeFile(settingsFile(app), std::string("[SYSTEM]\r\nSiki = 2.5\r\n") + c.section);
        OV_GetIniData(app.ctx);
        EXPECT_EQ(app.ws.settings.FilterSigma, c.filter) << c.section;
        EXPECT_EQ(app.ws.settings.Siki, c.siki) << c.section;
    }
}

TEST(SettingsFile, ARunWithoutAWindowRefusesAFilterSigmaItWouldIgnore) {
    TestApp app;
    const std::string detection =
        "[SYSTEM]\r\nHeikinWidth = 4\r\nSikiTop = 240\r\nSiki = 1.5\r\nNumPixel = 5\r\n"
        "NumPixel2 = 12\r\nSinendo = 2\r\nSinendoMax = 30\r\nMargin = 0\r\n";
    const struct {
        const char* filter;
        bool accepted;
    } cases[] = {{"", true},
                 {"FilterSigma = 0", true},
                 {"FilterSigma = 1.5", true},
                 {"FilterSigma = 9", false},
                 {"FilterSigma = 0.2", false},
                 {"FilterSigma = x", false}};
    for (const auto& c : cases) {
        writeFile(settingsFile(app), detection + "[DETECT]\r\n" + c.filter + "\r\n");
        auto read = readSettingsFileStrictly(settingsFile(app));
        EXPECT_EQ(static_cast<bool>(read), c.accepted) << c.filter;
        if (!read) {
            EXPECT_NE(read.error().find("FilterSigma"), std::string::npos);
        }
    }
}

TEST(SettingsFile, DoubleClickOnTheTitleOpensTheFileAndRereadsIt) {
    TestApp app;
    app.ws.settings.Siki = 7;
    Label1_DblClick(app.ctx, 0);
    ASSERT_EQ(app.host.editorsStarted.size(), 1u);
    EXPECT_EQ(app.host.editorsStarted[0], settingsFile(app));
    EXPECT_EQ(app.ws.settings.Siki, 7);  // written first, then read back
    writeFile(settingsFile(app), "[SYSTEM]\r\nSiki = 9\r\n");
    Label1_DblClick(app.ctx, 3);
    EXPECT_EQ(app.ws.settings.Siki, 9);
    EXPECT_EQ(app.frm.txtSiki.Text, "9");
}

}  // namespace
}  // namespace orv::form
