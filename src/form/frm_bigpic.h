#pragma once
// The division window as a model: one member per control, named as the control. Positions and
// sizes are window pixels; the preview's rectangles are in the preview's own pixels (from its
// top-left corner), the tile's rectangle in tile pixels.

#include <array>
#include <string>

#include "form/controls.h"

namespace orv::form {

// The folder list of the output-folder panel (a folder chooser on this platform).
struct FolderList : Control {
    std::string Path;
};

// The grid of whole tiles over the preview: the inner squares' edges at Left + k * CellWidth
// (k = 0..Columns) and Top + k * CellHeight (k = 0..Rows), in preview pixels.
struct TileGridLines {
    bool Visible = false;
    double Left = 0, Top = 0, CellWidth = 0, CellHeight = 0;
    int Columns = 0, Rows = 0;
};

struct FrmBigPic {
    FrmBigPic();

    // The window: title, place on the screen (left and top of its frame), shown or hidden.
    std::string Caption = "BigPic";
    double Left = 400, Top = 100;
    bool Visible = false;
    bool Loaded = false;  // the window's load has run (once per run)

    std::array<CommandButton, 2> cmdBigPic;  // 0 file, 1 clipboard
    PictureBox picBigPic;                    // hidden holder of the big picture (its `picture`)
    ImageBox imgBigPic;                      // the preview: size and place in the preview box
    Picture previewPicture;                  // the scaled picture it shows
    TileGridLines previewGrid;
    Shape shpArea, shpArea2;  // outer and inner square of the current tile over the preview
    PictureBox picDivPic;     // the current tile at full resolution (its `picture`)
    Shape shpArea3;           // the inner square inside the tile

    TextBox txtDivSize, txtDivMargin;
    std::array<CommandButton, 5> cmdDiv;  // left, right, up, down, back to (0, 0)

    Label lblBigPicName, lblImageSize2, lblDivNo, lblDivX, lblDivY, lblDivArea, lblDivId;
    // Captions beside the values: 画像サイズ, 分割サイズ, 分割マージン, 分割数, 分割エリア,
    // 分割画像名.
    std::array<Label, 6> lblCaption;

    CommandButton cmdDirSet, cmdSaveFile, cmdSaveAllFile;

    // The output-folder panel: label, folder list (with its chooser button) and Ok.
    Frame fraDir;
    Label lblDirBach;
    FolderList dirBach;
    // The folder the window chose itself for dirBach; while dirBach still shows it, the folder
    // follows the folder of the picture loaded.
    std::string dirDefault;
    CommandButton cmdDirBrowse, cmdClose;

    // Progress of loading and of saving every tile.
    ProgressBar barBigPic;
    // The message line: loading, why a picture could not be loaded, the stretch of a deep
    // picture.
    Label lblMsg;

    // The preview box: the preview's longer side fills it.
    static constexpr double kPreviewBox = 420;

    bool pictureLoaded() const { return !picBigPic.picture.empty(); }
    // While a picture loads or every tile is saved, the controls that would start other work
    // are disabled; afterwards the save buttons follow whether a picture is loaded.
    void setWorking(bool working);
};

}  // namespace orv::form
