// The measurements saved beside a result pair: the flags a result has now, and what is written
// is what is read back.

#include "catalogue/measure/sidecar.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/text_file.h"

namespace orv::catalogue {
namespace {

using measure::currentFlags;
using measure::parseMeasureText;

TEST(MeasureFlags, HandEditsJoinTheMeasuredBits) {
    struct Case {
        int16_t atr, editAtr;
        int32_t measured, expected;
    };
    const Case cases[] = {
        {3, 0, 0, 0},        {3, 0, 1 | 4, 1 | 4}, {3, 1, 2, 2 | 16},  // deleted by hand
        {5, 0, 0, 16},                                                 // noise released
        {1, 0, 16 | 32, 0},  // edit bits of an old measurement follow the record now
        {0, 2, -1, 32},      // added by hand: never measured
        {0, 3, -1, 16 | 32}, {3, 0, -1, -1},  // not measured
    };
    for (const Case& c : cases) {
        core::ClusterRec r;
        r.Atr = c.atr;
        r.EditAtr = c.editAtr;
        EXPECT_EQ(currentFlags(r, c.measured), c.expected)
            << c.atr << " " << c.editAtr << " " << c.measured;
    }
}

TEST(MeasureFile, SavedLinesReadBackToTheSameValues) {
    core::Workspace ws;
    ws.Clusters.resize(6);
    ws.MaxStarNo = 5;
    for (int i : {1, 2, 4, 5}) ws.Clusters[i].Used = -1;
    ws.Clusters[5].EditAtr = core::kEditAdded;
    ws.measures.picture.unit = "ADU";
    ws.measures.picture.samples = "samples";
    ws.measures.picture.noiseSigma = 3.25;
    ws.measures.picture.filter = "V\r\nbad";
    ws.measures.byStar.resize(5);
    core::MeasureRec& m = ws.measures.byStar[1];
    m.background = 1003.25;
    m.flux = 1234567.891;
    m.fluxErr = 0.000123456789;
    m.theta = -31.5;
    m.flags = 5;
    ws.measures.byStar[2].flags = 0;
    const auto lines = measure::measureFileLines(ws);
    ASSERT_EQ(lines.size(), 5u + 4u);  // 4 shared values, the header, results 1, 2, 4, 5
    EXPECT_EQ(lines[4], measure::kMeasureHeader);
    EXPECT_EQ(lines[5], "1,1003.25,,1234568,0.0001234568,,,,,,,-31.5,,5");
    EXPECT_EQ(lines[6], "2,,,,,,,,,,,,,0");
    EXPECT_EQ(lines[7], "4,,,,,,,,,,,,,");
    EXPECT_EQ(lines[8], "5,,,,,,,,,,,,,32");

    std::string text;
    for (const auto& line : lines) text += line + core::kCrLf;
    auto read = parseMeasureText(text);
    ASSERT_TRUE(read) << read.error();
    EXPECT_TRUE(read->fromFile);
    EXPECT_EQ(read->picture.unit, "ADU");
    EXPECT_EQ(read->picture.noiseSigma, 3.25);
    EXPECT_EQ(read->picture.filter, "V  bad");
    ASSERT_NE(read->find(1), nullptr);
    EXPECT_EQ(read->find(1)->flux, 1234568);
    EXPECT_EQ(read->find(1)->fluxErr, 0.0001234568);
    EXPECT_EQ(read->find(1)->flags, 5);
    EXPECT_TRUE(std::isnan(read->find(1)->peak));
    EXPECT_EQ(read->find(4)->flags, -1);
    EXPECT_EQ(read->find(5)->flags, 32);
    EXPECT_EQ(read->find(3)->flags, -1);  // no line: nothing known
}

TEST(MeasureFile, DamagedFilesAreRefusedWithTheLine) {
    const std::string header = std::string(measure::kMeasureHeader) + "\n";
    const struct {
        std::string text, why;
    } cases[] = {
        {"", "見出し行がありません"},
        {"1,2,3\n", "1 行目を読めません: 見出し行がありません"},
        {header + "1,2,3\n", "2 行目を読めません: 項目の数が 3 です"},
        {header + "0,,,,,,,,,,,,,\n", "番号 0 は"},
        {header + "50001,,,,,,,,,,,,,\n", "番号 50001 は"},
        {header + "1.5,,,,,,,,,,,,,\n", "番号 1.5 は"},
        {header + "1,x,,,,,,,,,,,,\n", "2 番目の項目が数値ではありません"},
        {header + "1,,,,,,,,,,,,,64\n", "flags 64 は"},
        {header + "1,,,,,,,,,,,,,-1\n", "flags -1 は"},
        {header + "1,1e999,,,,,,,,,,,,\n", "数値ではありません"},
    };
    for (const auto& c : cases) {
        auto read = parseMeasureText(c.text);
        ASSERT_FALSE(read) << c.text;
        EXPECT_NE(read.error().find(c.why), std::string::npos) << read.error();
    }
    EXPECT_TRUE(parseMeasureText("# unit = adu\r\n\r\n" + header + "\r\n3,1,,,,,,,,,,,,\r\n"));
}

}  // namespace
}  // namespace orv::catalogue
