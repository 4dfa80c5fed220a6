// Design-time state of the PSF page fraMain(1) beyond its settings boxes.

#include "form/frm_orvandel.h"

namespace orv::form {

void FrmOrvandel::initPsf() {
    cmdPSFEntry.Caption = "採用";
    cmdPSFEntry.ToolTipText = "表示中の恒星のPSFプロフィールを採用します。";
    cmdPSFEntryClear.Caption = "新規";
    cmdPSFEntryClear.ToolTipText = "採用したPSFプロフィールを消去して新しく始めます。";
    cmdPSFRead.Caption = "読込";
    cmdPSFRead.ToolTipText = "保存したPSFプロファイル（PSFData.ini）を読み込みます。";
    cmdPSFSave.Caption = "保存";
    cmdPSFSave.ToolTipText = "採用したPSFプロフィールをワークフォルダーに保存します。";
    Frame1.Caption = "PSFプロフィール";
    const char* captions[6] = {"σ＝", "N ＝", "ｎ ＝", "σ ＝", "σσ ＝", "sky ＝"};
    const char* tips[6] = {"表示中の恒星のガウス関数のσ（ピクセル）です。",
                           "表示中の恒星のピーク輝度（背景を除く）です。",
                           "採用したPSFプロフィールの数です。",
                           "採用したプロフィールのσの平均です。",
                           "採用したプロフィールのσの標準偏差です。",
                           "表示中の恒星の背景輝度です。"};
    for (int k = 0; k < 6; ++k) {
        lblPSFInfoCaption[k].Caption = captions[k];
        lblPSFInfoCaption[k].ToolTipText = lblPSFInfo[k].ToolTipText = tips[k];
        lblPSFInfo[k].Caption = "----";
    }
    lblPSFStarCaption.Caption = "StarNo";
    lblPSFStarCaption.ToolTipText = lblPSFStarNo.ToolTipText =
        "σ、N、skyを計算した恒星の番号です。";
    lblPSFStarNo.Caption = "----";

    const struct {
        PictureBox& box;
        int width, height;
    } pictures[3] = {{picPSFsrc, kPsfSrcSide, kPsfSrcSide},
                     {picPSFProfile, kPsfProfileWidth, kPsfProfileHeight},
                     {picPSFProfile2, kPsfProfileWidth, kPsfProfile2Height}};
    for (const auto& p : pictures) {
        p.box.Width = p.box.ScaleWidth = p.width;
        p.box.Height = p.box.ScaleHeight = p.height;
        p.box.canvas.setBackground(RGB(0, 0, 0));
        p.box.canvas.resize(p.width, p.height);
    }
    picPSFsrc.ToolTipText = "恒星の周囲21×21ピクセルと、裾野半径（青）・ダーク幅（赤）の円です。";
    picPSFProfile.ToolTipText =
        "半径ごとの輝度（緑）と採用したデータの割合（紫、%）、背景（水色）です。";
    picPSFProfile2.ToolTipText = "正規化した輝度（緑）と当てはめたガウス関数（水色）です。";
}

}  // namespace orv::form
