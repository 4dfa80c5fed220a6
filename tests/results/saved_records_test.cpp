#include "results/saved_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "bench/starfield.h"
#include "control/pipeline.h"
#include "control/startup.h"
#include "support/pictures.h"

namespace orv::results {
namespace {

using test::TestApp;

// Every field the record file stores, bit for bit (a Single compared as its bits).
void expectSameRecord(const ResultRecord& saved, const ResultRecord& read) {
    auto same = [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    const auto &sc = saved.cluster, &rc = read.cluster;
    const auto &ss = saved.star, &rs = read.star;
    EXPECT_EQ(saved.number, read.number);
    for (auto [a, b] : {std::pair{sc.StartX, rc.StartX},
                        {sc.StartY, rc.StartY},
                        {sc.Siki, rc.Siki},
                        {ss.CenterX, rs.CenterX},
                        {ss.CenterY, rs.CenterY},
                        {ss.SumLevel, rs.SumLevel},
                        {ss.MaxLevel, rs.MaxLevel},
                        {ss.HankeiAve, rs.HankeiAve},
                        {ss.HankeiMax, rs.HankeiMax},
                        {ss.HankeiMin, rs.HankeiMin},
                        {ss.HankeiSD, rs.HankeiSD},
                        {ss.SinendoRatio, rs.SinendoRatio},
                        {ss.Spare1, rs.Spare1},
                        {ss.Spare2, rs.Spare2},
                        {ss.Spare3, rs.Spare3},
                        {ss.Spare4, rs.Spare4}})
        EXPECT_TRUE(same(a, b)) << a << " " << b;
    for (auto [a, b] : {std::pair{sc.Atr, rc.Atr},
                        {sc.EditAtr, rc.EditAtr},
                        {sc.Reserve1, rc.Reserve1},
                        {sc.Reserve2, rc.Reserve2},
                        {sc.Reserve3, rc.Reserve3},
                        {sc.Used, rc.Used},
                        {sc.Divided, rc.Divided},
                        {sc.FillOK, rc.FillOK}})
        EXPECT_EQ(a, b);
    EXPECT_EQ(sc.Note, rc.Note);
    EXPECT_EQ(ss.PixelCount, rs.PixelCount);
    EXPECT_EQ(ss.Outline, rs.Outline);
}

TEST(SavedRecords, AreWhatReadingTheSavedPairBackGives) {
    // A noisy field: centroids, sums and radii with every number of digits.
    const bench::StarField field = bench::generateStarField(bench::denseField(160, 120, 60, 7));
    TestApp app;
    control::Form_Load(app.ctx);
    test::typicalSettings(app.ws.settings);
    app.frm.chkHyotan.Value = 1;
    const auto rgb = std::make_shared<std::vector<uint8_t>>(field.rgb);
    ASSERT_TRUE(
        test::loadPicture(app, form::Picture::fromRgb(field.width, field.height, rgb), "m42.bmp"));
    control::cmdDoAll_Click(app.ctx);
    auto& ws = app.ws;
    ASSERT_GT(ws.MaxStarNo, 40);
    const int32_t first = savedRecords(ws).front().number;
    ws.Clusters[first].Note = "a \"quoted\",\r\nnote";
    ws.Stars[first].Spare1 = 1234567.5f;  // a tie of the seventh digit
    ws.Stars[first].Spare2 = 3e-9f;       // beyond the digits of a fixed point
    ASSERT_TRUE(OV_SaveData(app.ctx));

    const std::string data = app.dir.file("m42.bmp.dir/m42.bmp.dat");
    const auto read = readResultFiles(data + ".ini", data);
    ASSERT_TRUE(read) << read.error();
    const std::vector<ResultRecord> saved = savedRecords(ws);
    ASSERT_EQ(saved.size(), read->records.size());
    for (size_t i = 0; i < saved.size(); ++i) {
        SCOPED_TRACE(saved[i].number);
        expectSameRecord(saved[i], read->records[i]);
    }
    EXPECT_EQ(saved[0].cluster.Note, "a \"quoted\",  note");
}

}  // namespace
}  // namespace orv::results
