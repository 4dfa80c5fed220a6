#pragma once
// The main window as a model: one member per control, named as the control, holding the
// properties the program reads or writes. Arrays of controls are std::arrays indexed as the
// control arrays are. The constructor gives every control its design-time caption, tooltip,
// value and visibility.

#include <array>

#include "form/controls.h"
#include "form/edit_marks.h"

namespace orv::form {

struct FrmOrvandel {
    FrmOrvandel();

    // Window size in pixels (client area), for the resize rule.
    double Width = 1280, Height = 900;
    // The title bar: the picture's file name, marked while results or hand work are unsaved.
    std::string Caption = "Orvandel";

    // Title and mode switch.
    // Label1(0) is the title label; Label1(1..8) are the captions of the settings boxes in
    // the order HeikinWidth, Siki, SikiTop, NumPixel, NumPixel2, Sinendo, SinendoMax, Margin;
    // Label1(9) the caption of the detection filter's box txtFilterSigma.
    std::array<Label, 10> Label1;
    std::array<CommandButton, 3> cmdMain;
    std::array<Frame, 3> fraMain;

    // Numbered buttons and picture sources.
    CommandButton cmdShowBigPic, cmdBachDo, cmdReadData;
    Label lblBachProgress;
    // Writes the shown picture's results as a catalogue (CSV, ECSV, FITS table, DS9 regions).
    CommandButton cmdExport;
    std::array<CommandButton, 3> cmdDataIn;  // 0 clipboard, 1 file, 2 tile
    CommandButton cmdDoAll;
    CommandButton cmdEditLog, cmdShowLog;

    // fra1 "処理画像"
    Frame fra1;
    std::array<OptionButton, 4> optChannel;  // R, G, B, Y
    Label lblImageSize, lblMaxY, lblDivId;

    // fra2 "検出設定"
    Frame fra2;
    TextBox txtHeikinWidth, txtSiki, txtSikiTop, txtNumPixel, txtNumPixel2, txtSinendo,
        txtSinendoMax, txtMargin;
    // The detection filter's sigma in pixels (0 = off).
    TextBox txtFilterSigma;
    CommandButton cmdSaveSettingData;
    CheckBox chkHyotan;
    // Under txtSiki: the picture's noise and the threshold it suggests, after a background
    // step (caption and tooltip are set by that step).
    Label lblSikiSuggest;

    // fra3 "検出結果"
    Frame fra3;
    Label lblStarNo;
    std::array<Label, 5> lblStarAtr;
    std::array<Label, 2> lblStarAtr1;
    // Captions beside the counts: lblStarNo, lblStarAtr(0..4), lblStarAtr1(0..1).
    std::array<Label, 8> lblStarCaption;

    // fra4 "再描画"
    Frame fra4;
    CommandButton cmdReDisp;
    std::array<CheckBox, 5> chkDisp;
    // Opens the results table (結果一覧).
    CommandButton cmdResultList;
    // The setting ReadOutlineClick: results read back are found anywhere inside their outline.
    CheckBox chkReadOutline;

    // fra5 "画像切替"
    Frame fra5;
    std::array<OptionButton, 4> optFrame;
    CheckBox chkCircle, chkFlicker;
    Timer tmrFlicker;
    // Opens the display stretch of the input and background views (表示調整).
    CommandButton cmdStretch;

    // fra6 "個別処理"
    Frame fra6;
    CommandButton cmdIdoHeikin, cmdPickup, cmdCenterCal, cmdSaveData;

    // PSF page settings boxes (the rest of the PSF page belongs to the PSF mode).
    Frame fraPSFsetting;
    TextBox txtPSFFactorRSD, txtPSFAnnulus, txtPSFDAnnulus;
    // Captions of the boxes in the order txtPSFFactorRSD, txtPSFAnnulus, txtPSFDAnnulus.
    std::array<Label, 3> lblPSFCaption;
    // The rest of the PSF page: adopt (採用) and start anew (新規), read and save the PSF files,
    // the neighbourhood and the two profile pictures (sizes in pixels), and the frame Frame1
    // "PSFプロフィール" with caption k beside value k: 0 σ, 1 N, 2 ｎ (entries), 3 σ (their
    // mean), 4 σσ (their spread), 5 sky; lblPSFStarNo names the star the values belong to.
    CommandButton cmdPSFEntry, cmdPSFEntryClear, cmdPSFRead, cmdPSFSave;
    PictureBox picPSFsrc, picPSFProfile, picPSFProfile2;
    Frame Frame1;
    std::array<Label, 6> lblPSFInfo, lblPSFInfoCaption;
    Label lblPSFStarNo, lblPSFStarCaption;

    // Navigation panel and viewport.
    Frame fraView;
    ImageBox imgHSC;
    Frame fraPickUp;
    std::array<PictureBox, 5> picHSC;
    std::array<Shape, 5> shpArea;

    // fraView: zoom (＋, －, ◎, hand tool), pan (←, →, ↑, ↓), the magnifier and the navigator
    // rectangle over imgHSC (layout units, in imgHSC's frame).
    std::array<PictureButton, 4> cmdZoom;
    // 全体: the whole picture fitted into the viewport (a scale below 1 for a large picture).
    CommandButton cmdZoomFit;
    std::array<CommandButton, 4> cmdPicMove;
    CheckBox chkMag;
    PictureBox picMag;      // 300 x 300 pixels
    int picMagSource = -1;  // the picHSC layer picMag was last copied from (-1: none yet)
    Shape shpMagPixel;      // the picture pixel under the pointer, in magnifier pixels
    Shape shpZoomArea;
    // The cursor of the selected result: (0) on picHSC(4), (1) on picHSC(2), layer units.
    std::array<Shape, 2> shpStarCursol;
    // What the edits since the last full drawing of picHSC(4) look like on the screen.
    EditMarks editMarks;
    // The pointer over the pictures.
    enum class Pointer { Arrow, SizeAll };
    Pointer MousePointer = Pointer::Arrow;

    // fraStarInfo (in fraMain(0)): caption k and value k of the selected result, the edit
    // frame fraEdit with its buttons, marker shapes and note box.
    Frame fraStarInfo;
    std::array<Label, 14> lblStarInfo, lblStarInfoData;
    // Below the 14 pairs: caption k and value k of the selected result's measurements on the
    // picture's own samples: 0 flux, 1 FWHM, 2 SNR.
    std::array<Label, 3> lblStarMeas, lblStarMeasData;
    CommandButton cmdEdit;
    Frame fraEdit;
    CommandButton cmdEditDelete, cmdEditUnDelete, cmdEditClose;
    std::array<CommandButton, 2> cmdEditUnNoize;
    Shape shpEditDelete;
    std::array<Shape, 2> shpEditUnNoize;
    TextBox txtStarNote;

    // Status area.
    ProgressBar barHSC;
    Label lblBar, lblMsg, lblXY, lblStop, lblVersion;
    CommandButton cmdCancel;

    // A long step's progress: the bar, its row label and Cancel shown ("中止します" hidden), or
    // all four hidden when the step ends. While a batch runs (KeepCancelShown), Cancel stays
    // shown between the steps until a stop is confirmed, and "中止します" after that.
    void showStepProgress();
    void hideStepProgress();
    bool KeepCancelShown = false;
    // The count labels show "-" while they are being recomputed (the total too, when asked).
    void dashCounts(bool total);

    // Makes every picture layer's canvas null (a run without a window draws nothing).
    void disableDrawing();
    bool drawingEnabled() const { return drawing_; }

    // Side of the star cursors in picture pixels.
    static constexpr double kCursorSize = 12;
    // Side of the magnifier in pixels, and the picture pixels it shows across.
    static constexpr int kMagSize = 300;
    static constexpr int kMagSpan = 30;
    // The PSF pictures in pixels.
    static constexpr int kPsfSrcSide = 132;
    static constexpr int kPsfProfileWidth = 292, kPsfProfileHeight = 168;
    static constexpr int kPsfProfile2Height = 128;

private:
    // Captions, tooltips and start-up state of the navigation and inspection controls.
    void initInspection();
    // The same for the PSF page (frm_orvandel_psf.cpp).
    void initPsf();

    bool drawing_ = true;
};

}  // namespace orv::form
