#pragma once
// A loaded picture of isolated Gaussian stars (each pixel holds the star's light integrated
// over the pixel) on a flat sky, the stars entered as circular results 1..n as after a
// detection (stage 10), the PSF page open.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "control/startup.h"
#include "extract/numbering.h"
#include "extract/records.h"
#include "form/stage.h"
#include "psf/mode_switch.h"
#include "support/pictures.h"

namespace orv::test {

struct GaussStar {
    float x, y;         // centroid: pixel k spans k .. k + 1
    double sigma;       // pixels
    double peak = 180;  // roughly the brightest pixel above the sky
};

// The fraction of a Gaussian of sigma centred at c that falls between a and b.
inline double gaussShare(double a, double b, double c, double sigma) {
    const double s = sigma * std::sqrt(2.0);
    return 0.5 * (std::erf((b - c) / s) - std::erf((a - c) / s));
}

struct PsfScene : TestApp {
    explicit PsfScene(const std::vector<GaussStar>& stars, int width = 64, int height = 64,
                      int sky = 20) {
        control::Form_Load(ctx);
        typicalSettings(ws.settings);  // PSFFactorRSD 2, PSFAnnulus 4, PSFDAnnulus 2
        ws.settings.WorkPath = dir.path();
        EXPECT_TRUE(loadPicture(*this, greyPicture(width, height, [&](int x, int y) {
            double v = sky;
            for (const GaussStar& s : stars)
                v += s.peak * 2 * std::numbers::pi * s.sigma * s.sigma *
                     gaussShare(x, x + 1, s.x, s.sigma) * gaussShare(y, y + 1, s.y, s.sigma);
            return static_cast<int>(std::lround(std::min(v, 255.0)));
        })));
        ws.MaxStarNo = static_cast<int32_t>(stars.size());
        extract::noteTableUse(ws);
        for (int n = 1; n <= ws.MaxStarNo; ++n) {
            ws.Clusters[n].Used = -1;
            ws.Clusters[n].Atr = extract::kAtrCircular;
            ws.Stars[n].CenterX = stars[n - 1].x;
            ws.Stars[n].CenterY = stars[n - 1].y;
        }
        ws.FreeStarNoHint = ws.MaxStarNo + 1;
        form::setStage(ctx, core::kStageAnalysed);
        psf::cmdMain_Click(ctx, 1);
    }
    std::string label(int k) const { return frm.lblPSFInfo[k].Caption; }
    std::vector<std::string> messages() const {
        std::vector<std::string> texts;
        for (const auto& m : host.messages) texts.push_back(m.text);
        return texts;
    }
};

}  // namespace orv::test
