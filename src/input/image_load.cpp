#include "input/image_load.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "core/block_cache.h"
#include "core/numeric.h"
#include "core/parallel.h"
#include "core/paths.h"
#include "core/picture_folder.h"
#include "core/vector_loops.h"
#include "form/message_log.h"
#include "form/stage.h"
#include "formats/bmp_stream.h"
#include "formats/picture_file.h"
#include "input/noise.h"
#include "tiles/big_pic.h"
#include "tiles/export.h"
#include "tiles/geometry.h"
#include "view/navigation.h"
#include "view/view_switch.h"

// Loading a picture:
//   1. stage 2, input view; clear layer 0 and hide it with the thumbnail;
//   2. get the picture from its source (clipboard, dialog, tile, or the named file);
//   3. sizes in pixels and layout units, the size label, progress shown;
//   4. create PixelLevel, BackLevel and ClusterMap;
//   5. split every pixel into R, G, B, Y and note the brightest Y (one row at a time);
//   6. size the five layers and the thumbnail, clear and hide the layers;
//   7. place the margin rectangles;
//   8. draw the grey Level picture into layers 0, 3 and 4;
//   9. input view, the MaxY label, stage 3.

namespace orv::input {

using core::Workspace;
using form::Ctx;

namespace {

constexpr int kMaxVectorRow = 1024;  // pixels per block of the luminance loop
constexpr const char* kLoadingMsg = "画像データを読み込んでいます。";

// A picture that failed once its arrays were being made.
struct PictureFailed {
    std::string why;
};

int progress(int done, int total) {
    return total <= 0 ? 100 : done * 100 / total;
}

}  // namespace

int luminanceY(int r, int g, int b) {
    // 59 G + 30 R + 11 B is 100 Y exactly; the double-precision sum differs from Y by far less
    // than 0.005, so it only decides the rounding when 100 Y ends in 50.
    const int s = 59 * g + 30 * r + 11 * b;
    if (s % 100 != 50) return (s + 50) / 100;
    return static_cast<int>(std::nearbyint(0.59 * g + 0.30 * r + 0.11 * b));
}

int selectedChannel(const form::FrmOrvandel& frm) {
    for (int i = 0; i < 3; ++i)
        if (frm.optChannel[i].Value) return i;
    return core::kChannelY;
}

namespace {

// Where row y of each of R, G, B and Y goes: the plane's row, or for a plane not held
// (PixelPlanes::create with levelOnly) a row of this thread's own, which the luminance reads
// and nothing keeps.
struct RowPlanes {
    uint8_t* c[4];
};
RowPlanes rowPlanes(Workspace& ws, int w, int y) {
    thread_local std::vector<uint8_t> spare;
    RowPlanes out{};
    for (int c = 0; c < 4; ++c) {
        auto& plane = ws.PixelLevel.plane(c);
        if (!plane.empty()) {
            out.c[c] = plane.at(1, y);
            continue;
        }
        if (spare.size() < 4 * static_cast<size_t>(w)) spare.resize(4 * static_cast<size_t>(w));
        out.c[c] = spare.data() + static_cast<size_t>(c) * static_cast<size_t>(w);
    }
    return out;
}

// The luminance of a row from its R, G, B; gives the brightest Y of the row.
ORV_PIXEL_LOOP uint8_t luminanceRow(const RowPlanes& row, int w) {
    const uint8_t* __restrict r = row.c[core::kChannelR];
    const uint8_t* __restrict g = row.c[core::kChannelG];
    const uint8_t* __restrict b = row.c[core::kChannelB];
    uint8_t* __restrict lum = row.c[core::kChannelY];
    // The luminance as luminanceY() gives it, in a 16-bit loop the compiler can vectorise: the
    // plain rounding for every pixel, then the ties (100 Y ending in 50, about one pixel in a
    // hundred in a colour picture) one by one.
    uint8_t tie[kMaxVectorRow];
    for (int x0 = 0; x0 < w; x0 += kMaxVectorRow) {
        const int n = std::min(kMaxVectorRow, w - x0);
        const uint8_t *rr = r + x0, *gg = g + x0, *bb = b + x0;
        uint8_t* yy = lum + x0;
        uint8_t any = 0;
        for (int x = 0; x < n; ++x) {
            const uint16_t s = static_cast<uint16_t>(59 * gg[x] + 30 * rr[x] + 11 * bb[x]);
            const uint16_t q = static_cast<uint16_t>(static_cast<uint16_t>(s + 50) / 100);
            yy[x] = static_cast<uint8_t>(q);
            tie[x] = static_cast<uint16_t>(s + 50 - 100 * q) == 0;
            any |= tie[x];
        }
        if (!any) continue;
        // (The pointers are taken by value: taken by reference, they kept the loop above from
        // being vectorised.)
        core::forEachNonZero(tie, n, [rr, gg, bb, yy](int k) {
            yy[k] = static_cast<uint8_t>(luminanceY(rr[k], gg[k], bb[k]));
        });
    }
    uint8_t maxY = 0;
    for (int x = 0; x < w; ++x) maxY = std::max(maxY, lum[x]);
    return maxY;
}

// fillPixelRow without MaxLevelY: gives the brightest Y of the row.
ORV_PIXEL_LOOP uint8_t splitRow(Workspace& ws, const form::Picture& picture, int y) {
    const int w = picture.width;
    const uint8_t* in = picture.row(y - 1);
    const RowPlanes row = rowPlanes(ws, w, y);
    uint8_t* __restrict r = row.c[core::kChannelR];
    uint8_t* __restrict g = row.c[core::kChannelG];
    uint8_t* __restrict b = row.c[core::kChannelB];
    if (picture.layout == form::PixelLayout::Rgb888) {
        for (int x = 0; x < w; ++x) {
            r[x] = in[3 * x];
            g[x] = in[3 * x + 1];
            b[x] = in[3 * x + 2];
        }
    } else if (picture.layout == form::PixelLayout::Grey8) {
        std::memcpy(r, in, static_cast<size_t>(w));
        std::memcpy(g, in, static_cast<size_t>(w));
        std::memcpy(b, in, static_cast<size_t>(w));
    } else {
        for (int x = 0; x < w; ++x) {
            uint32_t p;
            std::memcpy(&p, in + 4 * x, 4);
            b[x] = static_cast<uint8_t>(p);
            g[x] = static_cast<uint8_t>(p >> 8);
            r[x] = static_cast<uint8_t>(p >> 16);
        }
    }
    return luminanceRow(row, w);
}

// The same for a row as a BMP file stores it (formats/bmp_stream.h), written to row y.
ORV_PIXEL_LOOP uint8_t splitFileRow(Workspace& ws, const uint8_t* __restrict in,
                                    const formats::BmpPixels& f, int y) {
    const int w = f.width;
    const RowPlanes row = rowPlanes(ws, w, y);
    uint8_t* __restrict r = row.c[core::kChannelR];
    uint8_t* __restrict g = row.c[core::kChannelG];
    uint8_t* __restrict b = row.c[core::kChannelB];
    if (f.bytesPerPixel == 3) {
        for (int x = 0; x < w; ++x) {
            b[x] = in[3 * x];
            g[x] = in[3 * x + 1];
            r[x] = in[3 * x + 2];
        }
    } else {
        for (int x = 0; x < w; ++x) {
            uint32_t p;
            std::memcpy(&p, in + 4 * x, 4);
            r[x] = static_cast<uint8_t>(p >> f.shiftR);
            g[x] = static_cast<uint8_t>(p >> f.shiftG);
            b[x] = static_cast<uint8_t>(p >> f.shiftB);
        }
    }
    return luminanceRow(row, w);
}

}  // namespace

void fillPixelRow(Workspace& ws, const form::Picture& picture, int y) {
    ws.MaxLevelY = std::max(ws.MaxLevelY, static_cast<float>(splitRow(ws, picture, y)));
}

namespace {

// A picture file brought to 8-bit levels (deep samples stretched with the stretch setting).
core::Result<formats::LevelPicture> readFile(Ctx& ctx, const std::string& path) {
    return formats::readPictureFile(ctx.host, path, ctx.ws.settings.Stretch,
                                    [&ctx] { ctx.host.pump(); });
}

// Step 2: the picture of the source, or an error. Sets the file names where the source does.
// When the source offers nothing to load (the dialog was cancelled, the clipboard holds no
// picture), `nothing` says why and nothing has changed.
core::Result<formats::LevelPicture> pictureOfSource(Ctx& ctx, int index, std::string& nothing) {
    auto& ws = ctx.ws;
    auto& f = ctx.frm;
    switch (index) {
        case kSourceClipboard: {
            form::OV_DispMsg(ctx, kLoadingMsg);
            auto picture = ctx.host.clipboardPicture();
            if (!picture) {
                nothing = "クリップボードに画像がないため、何も読み込みませんでした。";
                return core::Error{picture.error()};
            }
            f.lblDivId.Caption = "clipboard";
            ws.DoFilePath = ws.DoFileName = "clipboard";
            return formats::toLevels(std::move(picture.value()), ws.settings.Stretch);
        }
        case kSourceFile: {
            auto path = ctx.host.openFileDialog(ws.settings.WorkPath, formats::kPictureFilter);
            if (!path) {
                nothing = "ファイルが選ばれなかったため、何も読み込みませんでした。";
                return core::Error{""};
            }
            if (!core::fileExists(*path)) {
                nothing = "ファイルが見つからないため、何も読み込みませんでした: " + *path;
                return core::Error{""};
            }
            form::OV_DispMsg(ctx, kLoadingMsg);
            auto picture = readFile(ctx, *path);
            if (!picture) return picture;
            ws.DoFilePath = core::GetFolderName(*path);
            ws.DoFileName = core::fileNameOf(*path);
            f.lblDivId.Caption = ws.DoFileName;
            return picture;
        }
        case kSourceTile: {
            const form::FrmBigPic* big = ctx.bigPic;
            if (!big || ws.tile.DivPicReady != -1 || big->picDivPic.picture.empty()) {
                // No tile is ready: the steps run again on the picture already in layer 0,
                // with the stretch it was loaded with.
                if (f.picHSC[0].picture.empty())
                    return core::Error{"分割画像が指定されていません。"};
                return formats::LevelPicture{
                    f.picHSC[0].picture, ws.StretchUsed, {ws.StretchBlack, ws.StretchWhite}};
            }
            form::OV_DispMsg(ctx, kLoadingMsg);
            // Named after the indices the tile was cut for; its results go to the tile
            // folder, which is made now when no tile has been saved yet.
            ws.DoFileName = tiles::tileId(ws.tile.BigPicName, ws.tile.DivPicX, ws.tile.DivPicY);
            ws.DoFilePath = tiles::tileResultFolder(ws, *big);
            if (!core::folderExists(ws.DoFilePath)) core::createFolder(ws.DoFilePath);
            f.lblDivId.Caption = ws.DoFileName;
            // A tile has 8-bit levels: nothing to stretch. Those of a deep big picture came
            // from its stretch, which is recorded with the tile's results.
            const auto& t = ws.tile;
            return formats::LevelPicture{big->picDivPic.picture,
                                         t.BigPicStretch,
                                         {t.BigPicStretchBlack, t.BigPicStretchWhite}};
        }
        default: {
            form::OV_DispMsg(ctx, kLoadingMsg);
            // A tile processed alone is named without ".bmp": its picture is the tile's file.
            auto picture = readFile(ctx, tiles::pictureFileOf(ws.DoFilePath, ws.DoFileName));
            if (picture) f.lblDivId.Caption = ws.DoFileName;
            return picture;
        }
    }
}

// Whether the arrays of a picture (and its five layers, when drawn) fit in the memory the
// system can give, counting what the current picture's arrays would give back. A picture
// that does not fit is refused before anything is released.
bool fitsInMemory(const Ctx& ctx, double w, double h) {
    double needed = (w + 2) * (h + 2) * (4 + 2) + w * h * sizeof(float);
    if (ctx.frm.drawingEnabled()) needed += 5 * w * h * sizeof(form::Rgb);
    if (ctx.ws.settings.FilterSigma > 0) needed += w * h * sizeof(float);  // smoothed residual
    double held = static_cast<double>(ctx.ws.PixelLevel.bytes() + ctx.ws.BackLevel.bytes() +
                                      ctx.ws.SmoothedResidual.bytes() + ctx.ws.ClusterMap.bytes());
    for (const auto& p : ctx.frm.picHSC)
        held += static_cast<double>(p.canvas.widthPx()) * p.canvas.heightPx() * sizeof(form::Rgb);
    return needed <= static_cast<double>(core::availableMemoryBytes()) + held;
}

// Gives back the arrays of the picture's pixels and of what was worked out from them.
void releaseArrays(Workspace& ws) {
    ws.PixelLevel.release();
    ws.BackLevel.release();
    ws.SmoothedResidual.release();
    ws.SmoothedSigma = 0;
    ws.BrightPixels = {};
    ws.ClusterMap.release();
}

// Steps 3 and 4 for a picture of w x h pixels. Throws std::bad_alloc when memory runs out.
void makeArrays(Ctx& ctx, int w, int h) {
    auto& ws = ctx.ws;
    auto& f = ctx.frm;
    ctx.host.setBusy(true);
    ws.ImageWidthTw = w * core::kTwipsPerPixel;
    ws.ImageHeightTw = h * core::kTwipsPerPixel;
    ws.ImageWidthP = core::CLng(static_cast<double>(ws.ImageWidthTw) / core::kTwipsPerPixel);
    ws.ImageHeightP = core::CLng(static_cast<double>(ws.ImageHeightTw) / core::kTwipsPerPixel);
    f.picHSC[0].ScaleWidth = w;
    f.picHSC[0].ScaleHeight = h;
    f.picHSC[0].Left = f.picHSC[0].Top = 0;
    f.barHSC.Visible = true;
    f.lblBar.Visible = true;
    f.lblImageSize.Caption = std::to_string(w) + " x " + std::to_string(h);

    // Release the old arrays first so that two pictures never need memory at once.
    releaseArrays(ws);
    // A batch that draws nothing keeps the Level plane alone, unless it is a tile, whose save
    // records the picture's R, G, B checksum.
    const bool levelOnly = ws.ProcStage == core::kStageBatch && !f.drawingEnabled() &&
                           !tiles::namedAsTile(ws.DoFileName);
    ws.PixelLevel.create(w, h, selectedChannel(f), levelOnly);
    // A batch run computes the background next, writing every value: it is created then, so
    // that its memory is not cleared first for nothing.
    if (ws.ProcStage != core::kStageBatch) ws.BackLevel.create(0, w - 1, 0, h - 1);
    ws.ClusterMap.create(0, w + 1, 0, h + 1);
    forgetNoiseEstimate(ctx);
    form::OV_DispMsg(ctx, "画像データをメモリーに設定しています。");
    ws.MaxLevelY = 0;
}

// Step 5 for a decoded picture.
void splitPicture(Ctx& ctx, const form::Picture& picture) {
    auto& ws = ctx.ws;
    auto& f = ctx.frm;
    const int h = picture.height;
    // Without drawing, the rows are split in bands on the picture's workers (the first band on
    // this thread, which alone shows progress and yields); each band's brightest Y is kept
    // apart and the brightest of them taken, so MaxLevelY is the same for any number of bands.
    const int parts = f.drawingEnabled() ? 1 : core::pictureWorkers(ws.PictureWorkers);
    std::vector<uint8_t> maxY(static_cast<size_t>(std::max(parts, 1)), 0);
    core::forEachPart(parts, h, [&](int k, int64_t begin, int64_t end) {
        uint8_t& brightest = maxY[static_cast<size_t>(k)];
        for (int y = static_cast<int>(begin) + 1; y <= end; ++y) {
            brightest = std::max(brightest, splitRow(ws, picture, y));
            if (k != 0) continue;
            f.barHSC.Value = progress(y - static_cast<int>(begin), static_cast<int>(end - begin));
            f.lblBar.Caption = std::to_string(y);
            ctx.host.pump();
        }
    });
    ws.MaxLevelY = *std::max_element(maxY.begin(), maxY.end());
}

// Steps 6 to 9, once PixelLevel holds the picture of w x h pixels.
void showPicture(Ctx& ctx, int w, int h, bool batch) {
    auto& ws = ctx.ws;
    auto& f = ctx.frm;
    // The five layers at the picture's size, scaled by the zoom level (or a scale below 1;
    // a fitted view fits the new picture).
    view::refitForLoad(ctx);
    const double zoom = view::displayScale(ctx);
    for (int i = 0; i < 5; ++i) {
        auto& p = f.picHSC[i];
        p.Width = static_cast<double>(ws.ImageWidthTw) * zoom;
        p.Height = static_cast<double>(ws.ImageHeightTw) * zoom;
        p.ScaleWidth = w;
        p.ScaleHeight = h;
        p.Left = p.Top = 0;
        // Layers 0, 3 and 4 get the grey picture below, every pixel of it.
        p.canvas.resize(w, h, !(i == 0 || i == 3 || i == 4));
        p.Visible = false;
        ctx.host.pump();  // clearing a layer of a huge picture takes a while
    }
    if (ws.ImageWidthTw > ws.ImageHeightTw) {
        f.imgHSC.Width = 4500;
        f.imgHSC.Height = 4500.0 * ws.ImageHeightTw / ws.ImageWidthTw;
    } else {
        f.imgHSC.Height = 4500;
        f.imgHSC.Width = 4500.0 * ws.ImageWidthTw / ws.ImageHeightTw;
    }
    f.imgHSC.Visible = true;

    view::placeMarginRectangles(ctx);
    view::placeZoomArea(ctx);

    form::OV_DispMsg(ctx, "読み込んだ画像を表示しています。");
    const auto& level = ws.PixelLevel.levelPlane();
    for (int y = 1; y <= h; ++y) {
        const uint8_t* row = level.at(1, y);
        for (int i : {0, 3, 4}) f.picHSC[i].canvas.drawGreyRow(y - 1, row);
        f.barHSC.Value = progress(y, h);
        f.lblBar.Caption = std::to_string(y);
        ctx.host.pump();
    }
    ws.PictureGeneration += 1;
    for (int i : {0, 3, 4}) f.picHSC[i].canvas.markContent(ws.PictureGeneration);

    f.hideStepProgress();
    view::showViewOption(ctx, 3);
    f.lblMaxY.Caption = core::generalForm(ws.MaxLevelY);
    ctx.host.pump();
    ctx.host.setBusy(false);
    form::OV_DispMsg(ctx, "");
    if (!batch) form::setStage(ctx, core::kStageLoaded);
}

// Keeps the stretch of a deep picture for the result files and logs it, so that the result
// can be reproduced; a picture of 8-bit levels clears it.
void recordStretch(Ctx& ctx, const formats::LevelPicture& loaded) {
    auto& ws = ctx.ws;
    ws.StretchUsed = loaded.stretch;
    ws.StretchBlack = loaded.points.black;
    ws.StretchWhite = loaded.points.white;
    if (!loaded.stretch.empty()) form::OV_Logout(ctx, stretchLogText(ws));
}

// A 24-bit or 32-bit BMP named by DoFilePath / DoFileName, loaded where nothing is drawn: its
// rows go from the file straight into PixelLevel, a block at a time, so the picture is never
// held as R, G, B as well (the planes are the bytes the decoder's streaming reader gives).
// Nothing when the file is no such BMP or its header is refused (the decoder then reads it or
// says why, as for any file); "" when loaded; else why the picture failed after it started.
std::optional<std::string> streamBmp(Ctx& ctx, bool batch) {
    auto& ws = ctx.ws;
    auto& f = ctx.frm;
    // A picture without a folder (a tile held in memory) is the host's alone: a file of its name
    // elsewhere is none of its business.
    if (!core::hasPictureFile(ws)) return std::nullopt;
    const std::string path = tiles::pictureFileOf(ws.DoFilePath, ws.DoFileName);
    if (!core::unreadableFileReason(path, "画像ファイル").empty()) return std::nullopt;
    formats::BmpPixels format;
    std::string refused;
    bool started = false;
    // Step 5 on the picture's workers, each on the rows of its own band as they are read; the
    // brightest Y of each band is kept apart, and the first band shows the progress.
    const int parts = core::pictureWorkers(ws.PictureWorkers);
    std::vector<uint8_t> maxY(static_cast<size_t>(std::max(parts, 1)), 0);
    int64_t firstBandEnd = 0;
    const formats::BmpRead read = formats::streamBmpFile(
        path,
        [&](const formats::BmpPixels& p) {
            format = p;
            form::OV_DispMsg(ctx, kLoadingMsg);
            f.lblDivId.Caption = ws.DoFileName;
            f.picHSC[0].canvas.clear();
            if (!fitsInMemory(ctx, p.width, p.height)) {
                refused = "画像が大きすぎて、メモリーに入りません (" + std::to_string(p.width) +
                          " x " + std::to_string(p.height) + ")。";
                return false;
            }
            f.picHSC[0].picture = form::Picture{};
            started = true;
            makeArrays(ctx, p.width, p.height);
            firstBandEnd = core::partBegin(p.height, core::partsOf(p.height, parts), 1);
            return true;
        },
        [&](int k, const uint8_t* rows, size_t rowBytes, int first, int count) {
            uint8_t& brightest = maxY[static_cast<size_t>(k)];
            for (int i = 0; i < count; ++i) {
                const int r = first + i;
                const int y = format.topDown ? r : format.height - 1 - r;
                brightest = std::max(
                    brightest,
                    splitFileRow(ws, rows + rowBytes * static_cast<size_t>(i), format, y + 1));
            }
            if (k != 0) return;
            f.barHSC.Value = progress(first + count, static_cast<int>(firstBandEnd));
            f.lblBar.Caption = std::to_string(first + count);
            ctx.host.pump();
        },
        parts);
    if (started)
        ws.MaxLevelY =
            std::max(ws.MaxLevelY, static_cast<float>(*std::max_element(maxY.begin(), maxY.end())));
    if (read.status == formats::BmpRead::Status::Ok) {
        showPicture(ctx, format.width, format.height, batch);
        recordStretch(ctx, formats::LevelPicture{});
        ws.lastLoadError.clear();
        return "";
    }
    if (!refused.empty()) return refused;
    if (!started) return std::nullopt;
    return read.error;
}

// Half-made arrays would not match the picture's size: drops them all.
void dropArrays(Ctx& ctx) {
    auto& ws = ctx.ws;
    releaseArrays(ws);
    ws.ImageWidthP = ws.ImageHeightP = ws.ImageWidthTw = ws.ImageHeightTw = 0;
    for (auto& p : ctx.frm.picHSC) p.canvas.release();
}

}  // namespace

std::string stretchLogText(const core::Workspace& ws) {
    return "＞ストレッチ " +
           formats::stretchDescription(ws.StretchUsed, {ws.StretchBlack, ws.StretchWhite});
}

bool cmdDataIn_Click(Ctx& ctx, int index) {
    auto& f = ctx.frm;
    const bool batch = ctx.ws.ProcStage == core::kStageBatch;
    const int16_t stageBefore = ctx.ws.ProcStage;
    const view::ShownViews viewsBefore = view::shownViews(ctx);
    if (!batch) form::setStage(ctx, core::kStageLoading);
    view::optFrame_Click(ctx, 3);
    f.picHSC[0].Visible = false;
    f.imgHSC.Visible = false;

    std::string failure;
    std::string nothing;
    try {
        std::optional<std::string> streamed;
        if (index == kSourceNamed && !f.drawingEnabled()) streamed = streamBmp(ctx, batch);
        if (streamed && streamed->empty()) return true;
        if (streamed) throw PictureFailed{*streamed};
        auto picture = pictureOfSource(ctx, index, nothing);
        if (!nothing.empty()) {
            // Nothing to load is not a failure: the picture and the results stay as they were.
            if (!batch) form::setStage(ctx, stageBefore);
            view::restoreViews(ctx, viewsBefore);
            f.lblMsg.Caption = nothing;
            ctx.ws.lastLoadError = nothing;
            return false;
        }
        f.picHSC[0].canvas.clear();
        if (picture && !fitsInMemory(ctx, picture->picture.width, picture->picture.height))
            picture = core::Error{"画像が大きすぎて、メモリーに入りません (" +
                                  std::to_string(picture->picture.width) + " x " +
                                  std::to_string(picture->picture.height) + ")。"};
        if (picture) {
            // The box keeps its picture (source 2 reuses it) only where it is drawn.
            f.picHSC[0].picture = f.drawingEnabled() ? picture->picture : form::Picture{};
            makeArrays(ctx, picture->picture.width, picture->picture.height);
            splitPicture(ctx, picture->picture);
            showPicture(ctx, picture->picture.width, picture->picture.height, batch);
            recordStretch(ctx, picture.value());
            ctx.ws.lastLoadError.clear();
            return true;
        }
        failure = picture.error();
    } catch (const std::bad_alloc&) {
        dropArrays(ctx);
        failure = "画像を読み込むためのメモリーが足りません。";
    } catch (const PictureFailed& e) {
        dropArrays(ctx);
        failure = e.why;
    }

    // Any failure: normal pointer, "Error!", stage 0. A batch run reports it itself.
    ctx.host.setBusy(false);
    f.barHSC.Visible = f.lblBar.Visible = false;
    f.lblMsg.Caption = failure;
    if (!batch) {
        ctx.host.msgBox("Error!", form::MsgButtons::Ok);
        form::setStage(ctx, core::kStageIdle);
    }
    ctx.ws.lastLoadError = failure;
    return false;
}

}  // namespace orv::input
