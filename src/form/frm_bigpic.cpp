#include "form/frm_bigpic.h"

namespace orv::form {

FrmBigPic::FrmBigPic() {
    cmdBigPic[0].Caption = "元画像読込";
    cmdBigPic[0].ToolTipText = "分割する前の画像ファイルを指定します。";
    cmdBigPic[1].Caption = "clipboard";
    cmdBigPic[1].ToolTipText = "クリップボード内の画像データを使用します。";
    picBigPic.Visible = false;
    imgBigPic.Visible = false;
    imgBigPic.Width = imgBigPic.Height = kPreviewBox;
    shpArea.Visible = shpArea2.Visible = shpArea3.Visible = false;
    shpArea.BorderColor = RGB(255, 255, 0);
    shpArea2.BorderColor = shpArea3.BorderColor = RGB(255, 0, 0);
    picDivPic.Visible = false;

    txtDivSize.Text = "500";
    txtDivMargin.Text = "50";
    const char* arrows[5] = {"←", "→", "↑", "↓", "◎"};
    for (int i = 0; i < 5; ++i) cmdDiv[i].Caption = arrows[i];

    lblBigPicName.Caption = "------";
    lblImageSize2.Caption = "---- x ----";
    lblDivNo.Caption = "-- x --";
    lblDivX.Caption = lblDivY.Caption = "0";
    lblDivArea.Caption = "(----,----)-(----,----)";
    lblDivId.Caption = "------";
    const char* captions[6] = {"画像サイズ", "分割サイズ", "分割マージン",
                               "分割数",     "分割エリア", "分割画像名"};
    for (int i = 0; i < 6; ++i) lblCaption[i].Caption = captions[i];

    cmdDirSet.Caption = "保存先指定";
    cmdDirSet.ToolTipText = "保存先のフォルダを指定します。";
    cmdSaveFile.Caption = "分割画像出力";
    cmdSaveFile.ToolTipText = "現在の分割画像を保存します。";
    cmdSaveAllFile.Caption = "全分割画像出力";
    cmdSaveAllFile.ToolTipText = "画像を自動的に分割してファイルとバッチ処理ファイルを保存します。";
    cmdDirSet.Enabled = cmdSaveFile.Enabled = cmdSaveAllFile.Enabled = false;

    fraDir.Visible = false;
    lblDirBach.Caption = "保存するディレクトリ";
    cmdDirBrowse.Caption = "参照...";
    cmdDirBrowse.ToolTipText = "保存するディレクトリを選びます。";
    cmdClose.Caption = "Ok";

    barBigPic.Visible = false;
}

void FrmBigPic::setWorking(bool working) {
    for (auto& b : cmdBigPic) b.Enabled = !working;
    for (auto& b : cmdDiv) b.Enabled = !working;
    txtDivSize.Enabled = txtDivMargin.Enabled = !working;
    cmdDirBrowse.Enabled = cmdClose.Enabled = !working;
    cmdDirSet.Enabled = cmdSaveFile.Enabled = cmdSaveAllFile.Enabled = !working && pictureLoaded();
    barBigPic.Visible = working;
    if (!working) barBigPic.Value = 0;
}

}  // namespace orv::form
