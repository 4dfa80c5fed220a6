#include "tiles/big_pic.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>

#include "core/numeric.h"
#include "core/paths.h"
#include "formats/bmp_stream.h"
#include "formats/picture_file.h"
#include "tiles/big_picture.h"
#include "tiles/export.h"
#include "tiles/geometry.h"

// The division window. A picture is loaded (file or clipboard), its preview scaled once, the
// grid counted and the current tile cut out at full resolution; the arrows move the current
// tile, and the tiles are saved singly or all at once with the batch list.

namespace orv::tiles {

namespace {

constexpr const char* kNotLoaded = "ファイルが読み込まれていません。";
constexpr int kMaxPictureSide = INT32_MAX / core::kTwipsPerPixel;

void message(BigPicCtx& c, const std::string& text) {
    c.host.msgBox(text, form::MsgButtons::Ok);
}

// Progress of a long step on the window's bar; yields so that the window repaints.
void showProgress(BigPicCtx& c, int64_t done, int64_t total) {
    c.frm.barBigPic.Value = total <= 0 ? 100 : static_cast<int>(done * 100 / total);
    c.host.pump();
}

// Step 1 of loading: the holder and the preview released and hidden.
void clearBigPicture(form::FrmBigPic& f) {
    f.picBigPic.picture = {};
    f.previewPicture = {};
    f.imgBigPic.Visible = false;
    f.shpArea.Visible = f.shpArea2.Visible = false;
    f.previewGrid.Visible = false;
}

// The picture of the source as 8-bit levels, a deep picture stretched with the stretch setting;
// or an error ("" when the dialog was cancelled). Sets `name`.
core::Result<formats::LevelPicture> pictureOfSource(BigPicCtx& c, int index, std::string& name) {
    const std::string& stretch = c.ws.settings.Stretch;
    if (index == 1) {
        auto picture = c.host.clipboardPicture();
        if (!picture) return core::Error{picture.error()};
        clearBigPicture(c.frm);
        name = "clipboard";
        return formats::toLevels(std::move(picture.value()), stretch, [&c] { c.host.pump(); });
    }
    auto path = c.host.openFileDialog(c.ws.settings.WorkPath, formats::kPictureFilter);
    if (!path || !core::fileExists(*path)) return core::Error{""};
    name = core::fileNameOf(*path);
    // Unless the user has chosen a folder, the tiles go beside the picture rather than into
    // whatever folder the program was started in.
    if (c.frm.dirBach.Path == c.frm.dirDefault)
        c.frm.dirBach.Path = c.frm.dirDefault = core::GetFolderName(*path);
    clearBigPicture(c.frm);
    c.frm.lblMsg.Caption = "画像データを読み込んでいます。";
    c.host.pump();
    auto decode = [&c](const std::string& p) { return c.host.decodePicture(p); };
    return loadBigPicture(
        *path, decode, stretch, [&c](int rows, int total) { showProgress(c, rows, total); },
        [&c] { c.host.pump(); });
}

// Steps 4 and 5: sizes, the size label, and the preview fitted to the picture's shape; the
// stretch of a deep picture kept for the layout file and shown on the message line.
void takePicture(BigPicCtx& c, formats::LevelPicture loaded, const std::string& name, int index) {
    auto& t = c.ws.tile;
    auto& f = c.frm;
    f.picBigPic.picture = std::move(loaded.picture);
    const int w = f.picBigPic.picture.width, h = f.picBigPic.picture.height;
    t.BigPicName = name;
    t.BigPicStretch = loaded.stretch;
    t.BigPicStretchBlack = loaded.points.black;
    t.BigPicStretchWhite = loaded.points.white;
    f.lblMsg.Caption = loaded.stretch.empty() ? ""
                                              : "ストレッチ " + formats::stretchDescription(
                                                                    loaded.stretch, loaded.points);
    f.lblBigPicName.Caption = name;
    f.Caption = (index == 1 ? "BicPic " : "BigPic ") + name;
    if (index == 1) c.host.pump();

    t.BigPicWidthTw = w * core::kTwipsPerPixel;
    t.BigPicHeightTw = h * core::kTwipsPerPixel;
    t.BigPicWidthP = core::CLng(static_cast<double>(t.BigPicWidthTw) / core::kTwipsPerPixel);
    t.BigPicHeightP = core::CLng(static_cast<double>(t.BigPicHeightTw) / core::kTwipsPerPixel);
    f.lblImageSize2.Caption =
        std::to_string(t.BigPicWidthP) + " x " + std::to_string(t.BigPicHeightP);

    // The longer side fills the preview box (a fresh fit each time, so that pictures of
    // alternating shapes do not shrink the preview).
    const double box = form::FrmBigPic::kPreviewBox;
    if (t.BigPicWidthTw > t.BigPicHeightTw) {
        f.imgBigPic.Width = box;
        f.imgBigPic.Height = box * t.BigPicHeightTw / t.BigPicWidthTw;
    } else {
        f.imgBigPic.Height = box;
        f.imgBigPic.Width = box * t.BigPicWidthTw / t.BigPicHeightTw;
    }
    f.imgBigPic.Left = f.imgBigPic.Top = 0;
    f.previewPicture = scaledPreview(f.picBigPic.picture,
                                     std::max(1, static_cast<int>(std::lround(f.imgBigPic.Width))),
                                     std::max(1, static_cast<int>(std::lround(f.imgBigPic.Height))),
                                     [&c](int rows, int total) { showProgress(c, rows, total); });
    f.imgBigPic.Visible = true;
}

// Whether the current settings can cut tiles of the loaded picture; says why not.
bool settingsUsable(BigPicCtx& c, bool forExport) {
    const auto& t = c.ws.tile;
    auto ok = forExport ? checkExport(t.DivSize, t.DivMargin, t.BigPicWidthP, t.BigPicHeightP)
                        : checkGrid(t.DivSize, t.DivMargin, t.BigPicWidthP, t.BigPicHeightP);
    if (!ok) message(c, ok.error());
    return ok.ok();
}

// DivDir for a save; creates the folder. False (with a message) when it cannot be created.
bool prepareTileFolder(BigPicCtx& c, bool announceFirst) {
    auto& t = c.ws.tile;
    t.DivDir = tileFolder(c.frm.dirBach.Path, t.BigPicName);
    if (core::folderExists(t.DivDir)) return true;
    if (announceFirst) message(c, t.DivDir + " というディレクトリを生成します。");
    if (!core::createFolder(t.DivDir)) {
        message(c, t.DivDir + " というディレクトリを生成できません。");
        return false;
    }
    if (!announceFirst) message(c, t.DivDir + " というディレクトリを生成しました。");
    return true;
}

void takeSetting(BigPicCtx& c, const form::TextBox& box, float& setting) {
    if (!core::IsNumeric(box.Text)) return;
    setting = settingValue(*core::parseNumber(box.Text));
    DispDivNo(c);
}

}  // namespace

void cmdShowBigPic_Click(form::Ctx& ctx) {
    if (!ctx.bigPic) return;
    BigPicCtx c{ctx.ws, *ctx.bigPic, ctx.host};
    if (!c.frm.Loaded) BigPic_Form_Load(c);
    c.frm.Left = 400;
    c.frm.Top = 100;
    c.frm.Visible = true;
}

void BigPic_Form_Load(BigPicCtx& c) {
    auto& f = c.frm;
    f.Loaded = true;
    c.ws.tile.DivSize = core::ValSng(f.txtDivSize.Text);
    c.ws.tile.DivMargin = core::ValSng(f.txtDivMargin.Text);
    const std::string& work = c.ws.settings.WorkPath;
    std::error_code ec;
    if (core::folderExists(work)) {
        f.dirBach.Path = work;
    } else {
        // Only until a picture file is loaded: then the picture's folder.
        f.dirBach.Path = f.dirDefault = std::filesystem::current_path(ec).string();
    }
}

void cmdBigPic_Click(BigPicCtx& c, int index) {
    auto& f = c.frm;
    std::string name;
    f.setWorking(true);
    c.host.setBusy(true);
    auto picture = pictureOfSource(c, index, name);
    // Sizes in layout units are 32-bit.
    if (picture &&
        (picture->picture.width > kMaxPictureSide || picture->picture.height > kMaxPictureSide)) {
        clearBigPicture(f);
        picture = core::Error{"画像が大きすぎます: " + name};
    }
    if (picture) takePicture(c, std::move(picture.value()), name, index);
    c.host.setBusy(false);
    f.setWorking(false);
    if (!picture) {
        if (picture.error().empty()) return;
        f.lblMsg.Caption = picture.error();
        message(c, "Error!\n" + picture.error());
        return;
    }
    DispDivNo(c);
    DispDiv(c);
}

void DispDivNo(BigPicCtx& c) {
    const auto& t = c.ws.tile;
    auto& f = c.frm;
    if (!(t.DivSize > 0) || !f.pictureLoaded()) return;
    const int64_t nx = wholeTiles(t.BigPicWidthP, t.DivSize, t.DivMargin);
    const int64_t ny = wholeTiles(t.BigPicHeightP, t.DivSize, t.DivMargin);
    f.lblDivNo.Caption = std::to_string(nx) + " x " + std::to_string(ny);

    auto& g = f.previewGrid;
    g.Visible =
        nx > 0 && ny > 0 && checkGrid(t.DivSize, t.DivMargin, t.BigPicWidthP, t.BigPicHeightP);
    const double sx = f.imgBigPic.Width / t.BigPicWidthP, sy = f.imgBigPic.Height / t.BigPicHeightP;
    g.Left = t.DivMargin * sx;
    g.Top = t.DivMargin * sy;
    g.CellWidth = t.DivSize * sx;
    g.CellHeight = t.DivSize * sy;
    g.Columns = static_cast<int>(std::min<int64_t>(nx, kMaxTileIndex));
    g.Rows = static_cast<int>(std::min<int64_t>(ny, kMaxTileIndex));
}

bool DispDiv(BigPicCtx& c) {
    auto& t = c.ws.tile;
    auto& f = c.frm;
    if (!f.pictureLoaded() || !settingsUsable(c, false)) return false;
    const float s = t.DivSize, m = t.DivMargin;
    const int i = t.DivX, j = t.DivY;
    f.lblDivX.Caption = std::to_string(i);
    f.lblDivY.Caption = std::to_string(j);
    f.lblDivArea.Caption = areaLabel(s, m, i, j);
    f.lblDivId.Caption = tileId(t.BigPicName, i, j);

    const double sx = f.imgBigPic.Width / t.BigPicWidthP, sy = f.imgBigPic.Height / t.BigPicHeightP;
    auto place = [](form::Shape& shape, const Square& sq, double sx, double sy) {
        shape.Left = sq.x * sx;
        shape.Top = sq.y * sy;
        shape.Width = sq.side * sx;
        shape.Height = sq.side * sy;
        shape.Visible = true;
    };
    place(f.shpArea2, innerSquare(s, m, i, j), sx, sy);
    place(f.shpArea, outerSquare(s, m, i, j), sx, sy);
    place(f.shpArea3, Square{m, m, s}, 1, 1);

    const PixelSquare cut = cutSquare(s, m, i, j);
    f.picDivPic.Width = f.picDivPic.Height = static_cast<double>(cut.side);
    f.picDivPic.picture = cutTile(f.picBigPic.picture, cut);
    f.picDivPic.Visible = true;
    t.DivPicX = t.DivX;
    t.DivPicY = t.DivY;
    c.host.pump();
    t.DivPicReady = -1;
    return true;
}

void cmdDiv_Click(BigPicCtx& c, int index) {
    auto& t = c.ws.tile;
    if (!c.frm.pictureLoaded() || !settingsUsable(c, false)) return;
    // One tile back (to index 0 at most), or on while the next tile is whole.
    auto step = [&t](int16_t& k, int direction, int64_t length) {
        const bool can = direction < 0
                             ? k > 0
                             : k < kMaxTileIndex && nextTileFits(k, t.DivSize, t.DivMargin, length);
        if (can) k = static_cast<int16_t>(k + direction);
        return can;
    };
    bool moved = false;
    switch (index) {
        case 0:
        case 1:
            moved = step(t.DivX, index == 0 ? -1 : 1, t.BigPicWidthP);
            break;
        case 2:
        case 3:
            moved = step(t.DivY, index == 2 ? -1 : 1, t.BigPicHeightP);
            break;
        case 4:
            t.DivX = t.DivY = 0;
            moved = true;
            break;
    }
    if (moved) DispDiv(c);
}

void BigPic_KeyDown(BigPicCtx& c, int keyCode) {
    // Key code and arrow: left, right, up, down.
    constexpr int kArrowKeys[4] = {37, 39, 38, 40};
    for (int index = 0; index < 4; ++index)
        // As its button: nothing while the window is busy (saving every tile moves the tile).
        if (keyCode == kArrowKeys[index] && c.frm.cmdDiv[index].Enabled) cmdDiv_Click(c, index);
}

void txtDivSize_Change(BigPicCtx& c) {
    takeSetting(c, c.frm.txtDivSize, c.ws.tile.DivSize);
}

void txtDivMargin_Change(BigPicCtx& c) {
    takeSetting(c, c.frm.txtDivMargin, c.ws.tile.DivMargin);
}

void picDivPic_Click(BigPicCtx& c) {
    // An empty WorkPath would make tile folders at the root.
    if (!c.ws.settings.WorkPath.empty()) c.frm.dirBach.Path = c.ws.settings.WorkPath;
}

void cmdDirSet_Click(BigPicCtx& c) {
    c.frm.fraDir.Visible = true;
}

void cmdDirBrowse_Click(BigPicCtx& c) {
    if (auto folder = c.host.chooseFolder(c.frm.dirBach.Path)) c.frm.dirBach.Path = *folder;
}

void imgBigPic_Click(BigPicCtx& c, double px, double py) {
    auto& t = c.ws.tile;
    const auto& f = c.frm;
    if (!f.pictureLoaded() || !f.previewGrid.Visible || f.imgBigPic.Width <= 0 ||
        f.imgBigPic.Height <= 0 || !f.cmdDiv[4].Enabled)
        return;
    // The tile index along one axis: the inner square [i S + M, (i + 1) S + M) holding the
    // big-picture coordinate, within the whole tiles.
    auto index = [&t](double preview, double previewSide, int32_t side) {
        const double at = preview / previewSide * side;
        const int64_t last =
            std::min<int64_t>(wholeTiles(side, t.DivSize, t.DivMargin), kMaxTileIndex) - 1;
        const double i = std::floor((at - t.DivMargin) / t.DivSize);
        return static_cast<int16_t>(std::clamp<double>(i, 0, static_cast<double>(last)));
    };
    t.DivX = index(px, f.imgBigPic.Width, t.BigPicWidthP);
    t.DivY = index(py, f.imgBigPic.Height, t.BigPicHeightP);
    DispDiv(c);
}

void cmdClose_Click(BigPicCtx& c) {
    c.ws.tile.DivDir = c.frm.dirBach.Path;
    c.frm.fraDir.Visible = false;
}

void cmdSaveFile_Click(BigPicCtx& c) {
    auto& t = c.ws.tile;
    if (t.DivPicReady != -1 || c.frm.picDivPic.picture.empty()) return message(c, kNotLoaded);
    if (!settingsUsable(c, false) || !prepareTileFolder(c, false)) return;
    // The tile shown is named after the indices it was cut for.
    t.DivFileName = tileFileName(t.BigPicName, t.DivPicX, t.DivPicY);
    const std::string path = core::joinPath(t.DivDir, t.DivFileName);
    if (auto saved = formats::writeBmp24(path, c.frm.picDivPic.picture); !saved)
        return message(c, saved.error());
    message(c, path + " に分割ファイルを保存しました。");
}

void cmdSaveAllFile_Click(BigPicCtx& c) {
    auto& t = c.ws.tile;
    auto& f = c.frm;
    if (t.DivPicReady != -1 || !f.pictureLoaded()) return message(c, kNotLoaded);
    if (!settingsUsable(c, true) || !prepareTileFolder(c, true)) return;
    const int64_t nx = wholeTiles(t.BigPicWidthP, t.DivSize, t.DivMargin);
    const int64_t ny = wholeTiles(t.BigPicHeightP, t.DivSize, t.DivMargin);

    f.setWorking(true);
    const ExportOutcome o = exportAllTiles(
        t.DivDir, t.BigPicName, t.DivSize, t.DivMargin, t.BigPicWidthP, t.BigPicHeightP,
        {t.BigPicStretch, t.BigPicStretchBlack, t.BigPicStretchWhite},
        [&](int i, int j) {
            t.DivX = static_cast<int16_t>(i);
            t.DivY = static_cast<int16_t>(j);
            // DispDiv cuts and shows the tile (it cannot refuse settings checked above).
            if (!DispDiv(c))
                return cutTile(f.picBigPic.picture, cutSquare(t.DivSize, t.DivMargin, i, j));
            return f.picDivPic.picture;
        },
        [&c](int64_t done, int64_t total) { showProgress(c, done, total); });
    f.setWorking(false);
    c.host.pump();

    if (!o.error.empty()) {
        // A failed export replaces nothing: the earlier tiles and their list stay usable.
        message(c, o.error + "\n" + t.DivDir +
                       (o.written == 0 ? " の分割ファイルとバッチ処理用ファイルは置き換えていません"
                                         "（以前に保存したものがそのまま残っています）。"
                                       : " の分割ファイルのうち " + std::to_string(o.written) +
                                             " 個は置き換わりましたが、バッチ処理用ファイルは"
                                             "置き換えていません。"));
        return;
    }
    if (nx > 0 && ny > 0) {
        // One past the last indices, as the loops leave them.
        t.DivX = static_cast<int16_t>(nx);
        t.DivY = static_cast<int16_t>(ny);
    }
    message(c, t.DivDir + " に、" + std::to_string(o.written) +
                   " 個の分割ファイルとバッチ処理用ファイルを保存しました。");
}

std::string tileResultFolder(const core::Workspace& ws, const form::FrmBigPic& frm) {
    if (!ws.tile.DivDir.empty()) return ws.tile.DivDir;
    return tileFolder(frm.dirBach.Path, ws.tile.BigPicName);
}

}  // namespace orv::tiles
