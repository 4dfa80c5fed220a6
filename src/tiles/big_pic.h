#pragma once
// The division window's procedures: loading the big picture, the tile count and the current
// tile, moving between tiles, the output folder, and saving one tile or all of them with the
// batch list. They change the window model and the tile state of the working state.

#include <string>

#include "form/context.h"
#include "form/frm_bigpic.h"

namespace orv::tiles {

// What the division window's procedures work on.
struct BigPicCtx {
    core::Workspace& ws;
    form::FrmBigPic& frm;
    form::Host& host;
};

// Main window button "１．分割画像指定": loads the division window on first use, places it
// at (400, 100) on the screen and shows it. Nothing without a division window model.
void cmdShowBigPic_Click(form::Ctx& ctx);
// The window's load: DivSize and DivMargin from the text boxes, the output folder at
// WorkPath (when WorkPath is not a folder: the current folder until a picture file is loaded,
// then that picture's folder, as long as the user has not chosen another).
void BigPic_Form_Load(BigPicCtx& c);

// "元画像読込" (0) and "clipboard" (1): the big picture, its size, preview, tile count and
// current tile. A picture deeper than 8 bits (FITS, 16-bit PNG or TIFF) is stretched once as a
// whole with the stretch setting, which the message line shows and the layout file records.
// The old picture stays when the dialog is cancelled; it is released before a new file is
// read, so that two huge pictures never need memory at once.
void cmdBigPic_Click(BigPicCtx& c, int index);
// The tile count label (and the grid over the preview), when DivSize > 0 and a picture is
// loaded.
void DispDivNo(BigPicCtx& c);
// Cuts and shows the current tile (DivX, DivY). Refuses with a message box, cutting nothing,
// when the settings cannot cut tiles; nothing without a picture. True when a tile was cut.
bool DispDiv(BigPicCtx& c);
// The arrows "←", "→", "↑", "↓" (0..3) and "◎" (4).
void cmdDiv_Click(BigPicCtx& c, int index);
// Keys in the window: 37 left, 38 up, 39 right, 40 down act as the arrows (not while their
// buttons are disabled).
void BigPic_KeyDown(BigPicCtx& c, int keyCode);
// A change of the size or margin text: a numeric text becomes the setting and the count is
// shown again; other text is ignored.
void txtDivSize_Change(BigPicCtx& c);
void txtDivMargin_Change(BigPicCtx& c);
// A click on the tile moves the output folder to WorkPath.
void picDivPic_Click(BigPicCtx& c);
// A click on the preview at (px, py), preview pixels from its top-left corner: the tile whose
// inner square holds that point becomes the current tile (the nearest whole tile for a point
// in the strips no inner square covers) and is cut. Nothing without a picture or a grid.
void imgBigPic_Click(BigPicCtx& c, double px, double py);

// "保存先指定" shows the output-folder panel; its chooser button picks the folder; "Ok" takes
// the folder as DivDir and hides the panel.
void cmdDirSet_Click(BigPicCtx& c);
void cmdDirBrowse_Click(BigPicCtx& c);
void cmdClose_Click(BigPicCtx& c);
// "分割画像出力": the tile shown, as a BMP in the picture's tile folder.
void cmdSaveFile_Click(BigPicCtx& c);
// "全分割画像出力": every whole tile, the batch list and the layout file.
void cmdSaveAllFile_Click(BigPicCtx& c);

// Where the results of the tile shown belong: DivDir, or before any save the tile folder
// that "全分割画像出力" would use.
std::string tileResultFolder(const core::Workspace& ws, const form::FrmBigPic& frm);

}  // namespace orv::tiles
