#pragma once
// A loaded 20 x 10 picture with one result of every kind, marked and counted by the
// redisplay, as after a detection run (stage 10):
//
//   n  kind                centre        pixel (ClusterMap)
//   1  noise (Atr 1)       (2.5, 2.5)    (3, 3)
//   2  area object         (6.5, 2.5)    (7, 3)
//   3  circular            (10.5, 2.5)   (11, 3) and (12, 3)
//   4  elongated           (14.5, 2.5)   (15, 3)
//   5  noise released      (2.5, 6.5)    (3, 7)
//   6  added by hand       (6.25, 6.75)  (7, 7)
//   7  circular, deleted   (10.5, 6.5)   (11, 7)

#include <gtest/gtest.h>

#include "control/startup.h"
#include "extract/numbering.h"
#include "form/class_colours.h"
#include "form/stage.h"
#include "support/pictures.h"
#include "view/overlay.h"

namespace orv::test {

struct Scene : TestApp {
    Scene() {
        control::Form_Load(ctx);
        typicalSettings(ws.settings);
        EXPECT_TRUE(
            loadPicture(*this, greyPicture(20, 10, [](int x, int y) { return 10 + x + 20 * y; })));
        struct R {
            int16_t atr, edit;
            float x, y;
        };
        const R results[7] = {{1, 0, 2.5f, 2.5f},  {2, 0, 6.5f, 2.5f}, {3, 0, 10.5f, 2.5f},
                              {4, 0, 14.5f, 2.5f}, {5, 0, 2.5f, 6.5f}, {0, 2, 6.25f, 6.75f},
                              {3, 1, 10.5f, 6.5f}};
        ws.MaxStarNo = 7;
        extract::noteTableUse(ws);
        for (int n = 1; n <= 7; ++n) {
            auto& c = ws.Clusters[n];
            auto& s = ws.Stars[n];
            c.Used = -1;
            c.Atr = results[n - 1].atr;
            c.EditAtr = results[n - 1].edit;
            c.StartX = static_cast<float>(static_cast<int>(results[n - 1].x) + 1);
            c.StartY = static_cast<float>(static_cast<int>(results[n - 1].y) + 1);
            c.Siki = 4;
            s.CenterX = results[n - 1].x;
            s.CenterY = results[n - 1].y;
            s.PixelCount = n == 6 ? 0 : 9;
            s.SumLevel = n == 6 ? 0 : 900;
            s.MaxLevel = n == 6 ? 0 : 120;
            ws.ClusterMap(static_cast<int>(s.CenterX) + 1, static_cast<int>(s.CenterY) + 1) =
                static_cast<uint16_t>(n);
        }
        ws.ClusterMap(12, 3) = 3;
        ws.FreeStarNoHint = 8;
        frm.chkDisp[1].Value = 0;  // dots only
        view::cmdReDisp_Click(ctx);
        form::setStage(ctx, core::kStageAnalysed);
    }
    // The dot of result n on the marked layer.
    form::Rgb dot(int n) const {
        return frm.picHSC[4].canvas.pixel(static_cast<int>(ws.Stars[n].CenterX),
                                          static_cast<int>(ws.Stars[n].CenterY));
    }
    // StarAtrNo (0, 1..5) and (1, 1..2).
    std::vector<int> counts() const {
        const auto& a = ws.StarAtrNo;
        return {a[0][1], a[0][2], a[0][3], a[0][4], a[0][5], a[1][1], a[1][2]};
    }
    std::string info(int k) const { return frm.lblStarInfoData[k].Caption; }
    // The processing log's texts without their time stamps.
    std::vector<std::string> logTexts() const {
        std::vector<std::string> texts;
        const std::string log = readFile(dir.file("test.bmp.dir/test.bmp.log"));
        for (size_t at = 0; at < log.size();) {
            const size_t end = log.find("\r\n", at);
            texts.push_back(log.substr(at + 20, end - at - 20));
            at = end + 2;
        }
        return texts;
    }
};

}  // namespace orv::test
