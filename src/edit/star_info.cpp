#include "edit/star_info.h"

#include <cmath>

#include "catalogue/measure/measure_results.h"
#include "core/numeric.h"
#include "edit/manual_edit.h"
#include "edit/pointer.h"
#include "extract/records.h"
#include "psf/psf_profile.h"

namespace orv::edit {

using form::Ctx;

namespace {

// Caption of a value label: Format of a Single with its picture.
std::string single(float value, const char* picture) {
    return core::Format(value, picture, 7);
}

}  // namespace

void showStarMeasures(Ctx& ctx, int32_t n) {
    const core::MeasureRec m = catalogue::measure::measureResult(ctx, n);
    // At most 8 characters each, so that the row stays narrow.
    auto text = [](double v, double below, const char* picture) {
        if (!std::isfinite(v)) return std::string("-");
        return std::abs(v) < below ? core::Format(v, picture) : core::generalForm(v, 3);
    };
    auto& data = ctx.frm.lblStarMeasData;
    data[0].Caption = text(m.flux, 1e6, "0.0");
    data[1].Caption = text(m.fwhm, 1e4, "0.00");
    data[2].Caption = text(m.snr, 1e5, "0.0");
}

void OV_DispStarInfo(Ctx& ctx, int32_t n) {
    auto& ws = ctx.ws;
    auto& f = ctx.frm;
    if (!isResultNo(ws, n)) return;
    f.fraStarInfo.Visible = true;
    ws.SelStarNo = n;

    auto& data = f.lblStarInfoData;
    for (int k : {0, 1, 2, 3, 8, 4, 5, 6, 7, 9, 10, 11, 12, 13}) data[k].Caption = "-";
    data[11].Caption = core::generalForm(n);

    const auto& c = ws.Clusters[n];
    const auto& s = ws.Stars[n];
    auto noiseButtons = [&](bool release, bool renoise) {
        f.cmdEditUnNoize[0].Visible = f.shpEditUnNoize[0].Visible = release;
        f.cmdEditUnNoize[1].Visible = f.shpEditUnNoize[1].Visible = renoise;
    };
    switch (c.Atr) {
        case 0:
            noiseButtons(false, false);
            break;
        case extract::kAtrNoise:
            data[12].Caption = "ノイズ";
            noiseButtons(true, false);
            break;
        case extract::kAtrArea:
            data[12].Caption = "面積天体";
            noiseButtons(false, false);
            break;
        case extract::kAtrCircular:
            data[12].Caption = "円状天体";
            noiseButtons(false, false);
            break;
        case extract::kAtrElongated:
            data[12].Caption = "横長天体";
            noiseButtons(false, false);
            break;
        case extract::kAtrNoiseReleased:
            data[12].Caption = "ノイズ解除";
            noiseButtons(false, true);
            break;
        default:
            break;
    }

    auto deleteButtons = [&](bool deletable) {
        f.cmdEditDelete.Visible = f.shpEditDelete.Visible = deletable;
        f.cmdEditUnDelete.Visible = !deletable;
    };
    switch (c.EditAtr) {
        case 0:
            data[13].Caption = "自動抽出";
            deleteButtons(true);
            break;
        case extract::kEditAdded:
            data[13].Caption = "手動追加";
            deleteButtons(true);
            break;
        case extract::kEditDeleted:
        case extract::kEditDeleted | extract::kEditAdded:
            data[13].Caption = "手動削除";
            deleteButtons(false);
            break;
        default:
            break;
    }

    data[0].Caption = single(s.CenterX, "#####.0");
    data[1].Caption = single(s.CenterY, "#####.0");
    data[2].Caption = core::generalForm(c.Siki);
    data[3].Caption = core::generalForm(s.PixelCount);
    data[8].Caption = single(s.SumLevel, "#####");
    data[10].Caption = single(s.MaxLevel, "###");
    // The outline figures exist only for results that passed the outline test.
    if (c.Atr == extract::kAtrCircular || c.Atr == extract::kAtrElongated) {
        data[4].Caption = single(s.SinendoRatio, "##.0");
        data[5].Caption = single(s.HankeiAve, "###.0");
        data[9].Caption = single(s.HankeiSD, "#0.00");
        data[6].Caption = single(s.HankeiMin, "###.0");
        data[7].Caption = single(s.HankeiMax, "###.0");
    }

    showStarMeasures(ctx, n);

    // Setting the note box stores the same text back into the record (its change handler).
    f.txtStarNote.Text = c.Note;
    txtStarNote_Change(ctx);

    if (f.fraMain[1].Visible) psf::OV_CalPSFProfile(ctx);
}

}  // namespace orv::edit
