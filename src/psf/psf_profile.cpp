#include "psf/psf_profile.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/numeric.h"
#include "form/message_log.h"

// Everything is computed from the picture first and only then drawn: the drawing yields to
// the event queue, and what runs meanwhile (another click, even a new picture) must find
// neither half-read arrays nor half-set results. A computation that a newer one has replaced
// meanwhile stops drawing and sets nothing.

namespace orv::psf {

namespace {

using form::Canvas;
using form::RGB;

constexpr form::Rgb kAxis = RGB(0, 180, 0), kGridFine = RGB(64, 64, 64),
                    kGridCoarse = RGB(128, 128, 128);
constexpr form::Rgb kAnnulus = RGB(0, 0, 255), kBandEnd = RGB(150, 0, 0);

void setWindow(Canvas& c, const PictureWindow& w) {
    c.setScale(w.left, w.top, w.width, w.height);
}

// The 21 x 21 picture levels about a centroid, column by column (dx outer, dy inner).
using Neighbourhood = std::array<int, 21 * 21>;

Neighbourhood neighbourhood(const core::Workspace& ws, float cx, float cy) {
    Neighbourhood v{};
    const int ix = static_cast<int>(std::floor(cx)), iy = static_cast<int>(std::floor(cy));
    const auto& level = ws.PixelLevel.levelPlane();
    int k = 0;
    for (int dx = -10; dx <= 10; ++dx)
        for (int dy = -10; dy <= 10; ++dy)
            v[k++] = level.contains(ix + dx + 1, iy + dy + 1) ? level(ix + dx + 1, iy + dy + 1) : 0;
    return v;
}

// Whether the computation numbered `run` is still the latest one.
bool current(const form::Ctx& ctx, uint64_t run) {
    return ctx.ws.psf.ProfileRuns == run;
}

// picPSFsrc: each pixel as a box of its grey, the centroid at (0, 0), yielding after each box;
// then the axes. False when a newer computation took over meanwhile.
bool drawNeighbourhood(form::Ctx& ctx, const Neighbourhood& v, float cx, float cy, uint64_t run) {
    Canvas& c = ctx.frm.picPSFsrc.canvas;
    setWindow(c, kSourceWindow);
    const float fx = cx - std::floor(cx), fy = cy - std::floor(cy);
    int k = 0;
    for (int dx = -10; dx <= 10; ++dx) {
        for (int dy = -10; dy <= 10; ++dy) {
            const double x0 = dx - fx, y0 = dy - fy;
            c.fillBox(x0, y0, x0 + 1, y0 + 1, form::greyRgb(std::clamp(v[k++], 0, 255)));
            ctx.host.pump();
            if (!current(ctx, run)) return false;
        }
    }
    c.line(-10, 0, 10, 0, RGB(200, 0, 0));
    c.line(0, -10, 0, 10, RGB(200, 0, 0));
    ctx.host.pump();
    return current(ctx, run);
}

// picPSFProfile: x radius, y brightness 255 at the top.
void drawProfileGrid(Canvas& c) {
    c.clear();
    setWindow(c, kProfileWindow);
    c.line(-3, 0, 18, 0, kAxis);
    for (int y = 10; y <= 250; y += 10) c.line(0, y, 18, y, kGridFine);
    for (int y = 50; y <= 250; y += 50) c.line(0, y, 18, y, kGridCoarse);
    c.line(0, -25, 0, 255, kAxis);
    for (int x = 1; x <= 18; ++x) c.line(x, 0, x, 255, kGridFine);
    for (int x = 5; x <= 15; x += 5) c.line(x, 0, x, 255, kGridCoarse);
}

// picPSFProfile2: x radius, y normalised brightness 1.1 at the top.
void drawNormalisedGrid(Canvas& c) {
    c.clear();
    setWindow(c, kNormalisedWindow);
    c.line(-2, 0, 18, 0, kAxis);
    // Single steps of 0.1 from 0.1 while the sum is at most 1.
    for (float y = 0.1f; y <= 1; y += 0.1f) c.line(0, y, 18, y, kGridFine);
    for (double y : {0.5, 1.0}) c.line(0, y, 18, y, kGridCoarse);
    c.line(0, -0.1, 0, 1.1, kAxis);
    for (int x = 1; x <= 18; ++x) c.line(x, 0, x, 1, kGridFine);
    for (int x = 5; x <= 15; x += 5) c.line(x, 0, x, 1, kGridCoarse);
}

void drawRingMarks(form::Ctx& ctx) {
    const auto& s = ctx.ws.settings;
    const double outer = static_cast<double>(s.PSFAnnulus) + s.PSFDAnnulus;
    Canvas& src = ctx.frm.picPSFsrc.canvas;
    src.roundCircle(0, 0, s.PSFAnnulus, kAnnulus, false);
    src.roundCircle(0, 0, outer, kBandEnd, false);
    Canvas& profile = ctx.frm.picPSFProfile.canvas;
    profile.line(s.PSFAnnulus, 0, s.PSFAnnulus, 255, kAnnulus);
    profile.line(outer, 0, outer, 255, kBandEnd);
}

std::string g(float v) {
    return core::generalForm(v);
}

}  // namespace

std::string refusalMessage(FitRefusal why, const core::Settings& s, int32_t starNo) {
    const std::string star = "StarNo " + core::generalForm(starNo);
    switch (why) {
        case FitRefusal::None:
            return "";
        case FitRefusal::AnnulusBelowHalf:
            return "裾野半径（" + g(s.PSFAnnulus) +
                   "）が 0.5 より小さいため、PSFプロフィールを当てはめられません。裾野半径を "
                   "0.5 以上にしてください。";
        case FitRefusal::NegativeBand:
            return "ダーク幅（" + g(s.PSFDAnnulus) +
                   "）が負のため、背景を計算できません。ダーク幅を 0 以上にしてください。";
        case FitRefusal::BandBeyondProfile:
            return "裾野半径とダーク幅の和（" + g(s.PSFAnnulus + s.PSFDAnnulus) +
                   "）が 15 を超えているため、背景を計算できません。和を 15 以下にしてください。";
        case FitRefusal::CentreNotAboveSky:
            return star +
                   " は中心の輝度が背景（sky）以下のため、PSFプロフィールを当てはめられません。";
        case FitRefusal::NoGaussian:
            return star + " のPSFプロフィールにはガウス関数を当てはめられませんでした。";
    }
    return "";
}

ProfileFit OV_CalDispPSFProfile(form::Ctx& ctx, const Profile& P, float& Sigma, float& Peak,
                                float& Sky) {
    const auto& s = ctx.ws.settings;
    ProfileFit fit = fitProfile(P, s.PSFAnnulus, s.PSFDAnnulus);
    if (!fit.ok()) return fit;
    Sky = fit.sky;
    Sigma = fit.sigma;
    Peak = fit.peak;

    const double outer = static_cast<double>(s.PSFAnnulus) + s.PSFDAnnulus;
    Canvas& normalised = ctx.frm.picPSFProfile2.canvas;
    normalised.line(s.PSFAnnulus, 0, s.PSFAnnulus, 255, kAnnulus);
    normalised.line(outer, 0, outer, 255, kBandEnd);
    normalised.line(fit.sigma, 0, fit.sigma, 255, RGB(255, 255, 0));
    Canvas& profile = ctx.frm.picPSFProfile.canvas;
    profile.line(0, fit.sky, 18, fit.sky, RGB(0, 200, 200));
    profile.line(fit.sigma, fit.sky, fit.sigma, 255, RGB(255, 255, 200));
    for (int i = 0; i < kProfilePoints; ++i) {
        if (i > 0)
            normalised.line((i - 1) / 2.0, fit.M[i - 1], i / 2.0, fit.M[i], RGB(0, 255, 255));
        normalised.roundCircle(i / 2.0, fit.B[i], 0.3, RGB(0, 255, 0), false);
    }
    return fit;
}

void OV_CalPSFProfile(form::Ctx& ctx) {
    auto& ws = ctx.ws;
    auto& f = ctx.frm;
    auto& psf = ws.psf;
    const int32_t n = ws.SelStarNo;
    if (n < 1 || n > ws.MaxStarNo || n >= static_cast<int32_t>(ws.Stars.size())) return;
    const uint64_t run = ++psf.ProfileRuns;
    psf.PSFStarNo = n;
    psf.ProfileOwn = false;
    f.picPSFsrc.canvas.clear();

    const float cx = ws.Stars[n].CenterX, cy = ws.Stars[n].CenterY;
    const std::string edgeNote =
        "PSFプロフィールは、画像の端から15ピクセルより内側の恒星だけ計算します。";
    if (!awayFromEdge(ws, cx, cy)) {
        form::OV_DispMsg(ctx,
                         "StarNo " + core::generalForm(n) + " は画像の端に近すぎます。" + edgeNote);
        return;
    }
    const Neighbourhood around = neighbourhood(ws, cx, cy);
    const RingProfile rings = sampleRings(ws, cx, cy, ws.settings.PSFFactorRSD);

    if (!drawNeighbourhood(ctx, around, cx, cy, run)) return;
    drawProfileGrid(f.picPSFProfile.canvas);
    drawRingMarks(ctx);
    Canvas& profile = f.picPSFProfile.canvas;
    for (int k = 0; k < rings.rings(); ++k) {
        profile.roundCircle(k / 2.0, rings.P[k], 0.2, RGB(0, 255, 0), false);
        profile.roundCircle(k / 2.0, rings.count[k] * 100.0f / kRingSamples, 0.15, RGB(200, 0, 200),
                            false);
    }
    // One bell per rejected sample; the host may merge bells that come together.
    for (int i = rings.rejected(); i > 0; --i) ctx.host.beep();
    if (!rings.complete()) {
        ctx.host.msgBox("PSFFactorRSD の値が狭すぎて有効な輝度積算値がありませんでした。",
                        form::MsgButtons::OkCancel);
        return;
    }

    drawNormalisedGrid(f.picPSFProfile2.canvas);
    float sigma = 0, peak = 0, sky = 0;
    const ProfileFit fit = OV_CalDispPSFProfile(ctx, rings.P, sigma, peak, sky);
    if (!fit.ok()) {
        ctx.host.msgBox(refusalMessage(fit.refusal, ws.settings, n), form::MsgButtons::Ok);
        return;
    }
    if (!current(ctx, run)) return;

    f.lblPSFInfo[0].Caption = core::Format(sigma, "0.00", 7);
    f.lblPSFInfo[1].Caption = core::Format(peak, "###.0", 7);
    f.lblPSFInfo[5].Caption = core::Format(sky, "###.0", 7);
    f.lblPSFStarNo.Caption = core::generalForm(n);
    psf.PSFSigma = sigma;
    psf.PSFPeak = peak;
    psf.PSFSky = sky;
    psf.ProfileOwn = true;
    // A note about an earlier star near the edge no longer applies.
    if (f.lblMsg.Caption.find(edgeNote) != std::string::npos) form::OV_DispMsg(ctx, "");
}

}  // namespace orv::psf
