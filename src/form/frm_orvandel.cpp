#include "form/frm_orvandel.h"

#include <utility>

#include "form/class_colours.h"

namespace orv::form {

namespace {

template <typename C>
void set(C& c, const char* caption, const char* tip = "") {
    c.Caption = caption;
    c.ToolTipText = tip;
}

}  // namespace

FrmOrvandel::FrmOrvandel() {
    set(Label1[0], "HALVOREN Orvandel", "ダブルクリックすると起動時設定ファイルが編集できます。");
    set(Label1[1], "平均積算幅", "背景計算をする幅を指定します。");
    set(Label1[2], "クラスタ閾値", "クラスタ抽出で使用する閾値を設定します。");
    set(Label1[3], "上限閾値", "この輝度以上のピクセルは無条件に該当するものと扱われます。");
    set(Label1[4], "ノイズ", "恒星抽出の際に、微小な面積のクラスタを排除するための閾値です。");
    set(Label1[5], " 面積", "外形検査を行わないクラスタの最大の面積です。");
    set(Label1[6], "真円度",
        "個性抽出の際に恒星として判断する真円度（最少半径と最大半径の比率）を設定します。");
    set(Label1[7], "横長");
    set(Label1[8], "余白幅", "画像の中の余白を設定します。");
    set(Label1[9], "検出フィルタ",
        "クラスタ抽出の前に、背景との差をこのσ（ピクセル）のガウス関数で平滑化します。"
        "暗い星が見つかりやすくなります。0 は使いません（0.5〜5）。");

    set(cmdMain[0], "●恒星位置検出", "画像から恒星位置を抽出します。");
    set(cmdMain[1], " PSF設定");
    set(cmdMain[2], "PSF測光");

    set(cmdShowBigPic, "１．分割画像指定", "分割画像指定フォームを表示します。");
    set(cmdBachDo, "２．ﾊﾞｯﾁ処理実行", "分割画像指定フォームで指定されたバッチ処理を実行します。");
    set(cmdReadData, "３．結果読込・編集", "検出結果を読込ます。");
    cmdReadData.Shortcut = "Ctrl+R";
    set(cmdExport, "書き出し",
        "表示中の画像の結果を CSV・ECSV・FITS の表、または DS9 の領域ファイルに書き出します。");
    set(cmdDataIn[0], "clipboard", "クリックボードの中にある画像を読み込みます。");
    set(cmdDataIn[1], "ファイル", "画像ファイルを読み込みます。");
    cmdDataIn[1].Shortcut = "Ctrl+O";
    set(cmdDataIn[2], "分割画像単独入力",
        "分割画像指定フォームで指定された画像を処理対象画像として読み込みます。");
    set(cmdDoAll, "恒星位置抽出", "背景測定・クラスタ抽出・恒星位置検出を自動的に実施します。");
    cmdDoAll.Shortcut = "F5";
    set(cmdEditLog, "ログ出力", "メッセージをログに記録します。");
    set(cmdShowLog, "ログ表示", "ログを表示します。");

    set(fra1, "処理画像");
    set(optChannel[0], "R", "RGB画像のうちRチャンネルを使用します。");
    set(optChannel[1], "G", "RGB画像のうちGチャンネルを使用します。");
    set(optChannel[2], "B", "RGB画像のうちBチャンネルを使用します。");
    set(optChannel[3], "Y", "RGBデータから計算した輝度Yデータを使用します。");
    optChannel[2].Value = true;
    lblImageSize.Caption = "";
    lblMaxY.Caption = "";
    lblDivId.Caption = "------";

    set(fra2, "検出設定");
    set(cmdSaveSettingData, "設定保存", "抽出条件を保存します。");
    set(chkHyotan, " ひょうたん", "「ひょっこりひょうたん島」対策を行うか支持します。");

    set(fra3, "検出結果");
    set(lblStarNo, "0", "現在表示されているクラスタの合計です。");
    set(lblStarAtr[0], "0", "微小面積クラスタの合計です。");
    set(lblStarAtr[1], "0", "外形検査を行わない恒星位置の合計です。");
    set(lblStarAtr[2], "0", "真円度条件を満たす丸い恒星クラスタの合計です。");
    set(lblStarAtr[3], "0", "横長の抽出結果の合計です。");
    set(lblStarAtr[4], "0", "ノイズ指定を解除して採用した合計です。");
    set(lblStarAtr1[0], "0", "手動で削除されたクラスタの合計です。");
    set(lblStarAtr1[1], "0", "手動で追加されたクラスタの合計です。");
    const char* captions[8] = {"合計", "ノイズ", "面積", "真円", "横長", "解除", "削除", "追加"};
    const Label* values[8] = {&lblStarNo,     &lblStarAtr[0], &lblStarAtr[1],  &lblStarAtr[2],
                              &lblStarAtr[3], &lblStarAtr[4], &lblStarAtr1[0], &lblStarAtr1[1]};
    for (int i = 0; i < 8; ++i) {
        lblStarCaption[i].Caption = captions[i];
        lblStarCaption[i].ToolTipText = values[i]->ToolTipText;
    }

    set(fra4, "再描画");
    set(cmdReDisp, "再描画", "指定の条件で恒星抽出結果を再描画します。");
    set(chkDisp[0], "ノイズ", "ノイズの表示の有無を設定します。");
    set(chkDisp[1], "輪郭", "輪郭の表示の有無を設定します。");
    set(chkDisp[2], "手動削除点", "手動で削除した恒星位置の表示の有無を設定します。");
    set(chkDisp[3], "手動追加点", "手動で追加した恒星位置の表示の有無を設定します。");
    set(chkDisp[4], "余白外表示", "余白外の抽出結果の表示の有無を設定します。");
    for (auto& c : chkDisp) c.Value = 1;
    set(cmdResultList, "結果一覧",
        "表示中の結果を一覧表で見ます。並べ替え、絞り込みができます。（Ctrl+T）");
    cmdResultList.Shortcut = "Ctrl+T";
    set(chkReadOutline, "輪郭選択",
        "読み込んだ結果を、輪郭の内側のどこをクリックしても選べるようにします。"
        "オフでは重心のまわり3×3画素です。");

    set(fra5, "画像切替");
    set(optFrame[0], "恒星位置", "恒星抽出画像を表示します。");
    set(optFrame[1], "クラスタ", "クラスタを表示します。");
    set(optFrame[2], "背景画像", "移動平均背景画像を表示します。");
    set(optFrame[3], "入力画像", "処理する画像を表示します。");
    optFrame[3].Value = true;
    set(cmdStretch, "表示調整",
        "入力画像と背景画像の見え方（黒点・白点、asinh、log、sqrt）を変えます。検出には影響しません"
        "。");
    set(chkCircle, "抽出位置", "恒星位置の表示をオンオフ切り替えます。");
    chkCircle.Value = 1;
    set(chkFlicker, "フリッカー", "恒星位置の表示をオンオフ切り替えます。");

    set(fra6, "個別処理");
    set(cmdIdoHeikin, "背景", "指定の範囲の平均輝度を計算して背景画像を生成します。");
    set(cmdPickup, "クラ",
        "（背景輝度＋閾値）より明るい領域が連続する領域（クラスタ）を抽出します。");
    set(cmdCenterCal, "恒星", "ノイズ、面積、真円度等の条件に基づき恒星中心位置を抽出します。");
    set(cmdSaveData, "保存", "抽出結果タを保存します。");
    cmdSaveData.Shortcut = "Ctrl+S";

    set(fraPSFsetting, "設定");
    set(lblPSFCaption[0], "FactorRSD",
        "円周方向のデータを採用する標準偏差の倍数です。狭いほど少ないデータが採用されます。");
    set(lblPSFCaption[1], "裾野半径", "PSFプロフィールを計算する範囲です。");
    set(lblPSFCaption[2], "ダーク幅", "背景の積算幅です。");
    txtPSFFactorRSD.Text = "2";
    txtPSFAnnulus.Text = "4";
    txtPSFDAnnulus.Text = "2";

    for (auto& s : shpArea) s.Visible = false;
    for (auto& p : picHSC) p.Visible = false;
    imgHSC.Visible = false;

    barHSC.Visible = false;
    lblBar.Visible = false;
    set(lblMsg, "", "現在の処理内容が表示されます。");
    set(lblXY, "X : ----  Y : ----", "カーソルの座標です。");
    set(cmdCancel, "中止", "クリックすると、一定の処理を終えてから中止します。");
    cmdCancel.Visible = false;
    lblStop.Caption = "中止します";
    lblStop.Visible = false;
    initInspection();
    initPsf();
}

void FrmOrvandel::showStepProgress() {
    barHSC.Visible = lblBar.Visible = true;
    if (KeepCancelShown && lblStop.Visible) return;  // a stop is confirmed
    cmdCancel.Visible = true;
    lblStop.Visible = false;
}

void FrmOrvandel::hideStepProgress() {
    barHSC.Visible = lblBar.Visible = false;
    if (KeepCancelShown) return;
    cmdCancel.Visible = lblStop.Visible = false;
}

void FrmOrvandel::dashCounts(bool total) {
    if (total) lblStarNo.Caption = "-";
    for (auto& l : lblStarAtr) l.Caption = "-";
    for (auto& l : lblStarAtr1) l.Caption = "-";
}

void FrmOrvandel::disableDrawing() {
    drawing_ = false;
    for (auto& p : picHSC) p.canvas.setNull(true);
    picMag.canvas.setNull(true);
    for (auto* p : {&picPSFsrc, &picPSFProfile, &picPSFProfile2}) p->canvas.setNull(true);
}

// Design-time state of the navigation panel fraView and of the information panel fraStarInfo
// with its edit frame.
void FrmOrvandel::initInspection() {
    set(cmdZoom[0], "＋", "２倍に拡大します。");
    set(cmdZoom[1], "－", "２分の１に縮小します。");
    set(cmdZoom[2], "◎", "拡大１倍、基準位置に設定を復帰します。");
    // The caption shows only when the button's picture file cannot be read.
    set(cmdZoom[3], "手", "ハンドツールの動作を切り替えます。");
    set(cmdZoomFit, "全体", "画像全体をウィンドウに合わせて表示します。");
    cmdZoomFit.Shortcut = "F";
    const char* arrows[4] = {"←", "→", "↑", "↓"};
    for (int i = 0; i < 4; ++i) cmdPicMove[i].Caption = arrows[i];
    set(chkMag, "虫めがね", "部分拡大機能（虫めがね）を有効にします。");
    picMag.Visible = false;
    picMag.Width = picMag.Height = picMag.ScaleWidth = picMag.ScaleHeight = kMagSize;
    picMag.canvas.setBackground(RGB(0x30, 0x30, 0x30));
    shpMagPixel.Visible = false;
    shpMagPixel.BorderColor = RGB(255, 255, 255);
    shpZoomArea.Visible = false;
    shpZoomArea.BorderColor = RGB(0, 0, 192);
    for (auto& c : shpStarCursol) {
        c.Visible = false;
        c.Kind = ShapeKind::Circle;
        c.BorderColor = RGB(0, 255, 255);
        c.Width = c.Height = kCursorSize;
    }

    static constexpr const char* kInfo[14][2] = {
        {"座標　X", "恒星位置のX座標（ピクセル）です。"},
        {"Y", "恒星位置のY座標（ピクセル）です。"},
        {"閾値", ""},
        {"面積", "クラスタの面積（ピクセル数）です。"},
        {"真円度", "クラスタ真円度（最少半径と最大半径の比率）です。"},
        {"平均半径", "クラスタの平均半径（ピクセル）です。"},
        {"最少半径", "クラスタの最少半径（ピクセル）です。"},
        {"最大半径", "クラスタの最大半径（ピクセル）です。"},
        {"積算輝度", "クラスタの各ピクセルの輝度値の合計値です。"},
        {"標準偏差", "クラスタの外形の平均半径に対する標準偏差です。（ピクセル）"},
        {"最大輝度", "クラスタのピクセルの中の最大輝度値です。"},
        {"StarNo", "クラスタの番号です。"},
        {"Atr(0)", "恒星自動抽出結果の属性です。"},
        {"Atr(1)", "手動編集結果の属性です。"},
    };
    for (int k = 0; k < 14; ++k) {
        set(lblStarInfo[k], kInfo[k][0], kInfo[k][1]);
        lblStarInfoData[k].Caption = "-";
    }
    static constexpr const char* kMeas[3][2] = {
        {"光度", "開口内の空を引いた光度です（画像のサンプル値の単位）。"},
        {"FWHM", "星像の半値全幅（ピクセル）です。"},
        {"S/N", "光度の信号雑音比です。"},
    };
    for (int k = 0; k < 3; ++k) {
        set(lblStarMeas[k], kMeas[k][0], kMeas[k][1]);
        lblStarMeasData[k].Caption = "-";
    }
    fraStarInfo.Visible = false;

    set(cmdEdit, "編集", "クラスタ編集フレームを表示します。");
    fraEdit.Visible = false;
    set(cmdEditDelete, "削除", "選択されているクラスタを削除指定します。");
    set(cmdEditUnDelete, "復活", "削除指定を解除します。");
    set(cmdEditUnNoize[0], "ノイズ解除",
        "ノイズのクラスタの場合、ノイズを解除してデータ採用します。");
    set(cmdEditUnNoize[1], "再ノイズ", "ノイズ解除を中止して、サイドノイズに設定します。");
    txtStarNote.ToolTipText = "このクラスタのメモを記入します。";
    set(cmdEditClose, "OK", "このフレームを閉じます。");
    // The markers show the colour a result takes by the button beside them.
    const std::pair<Shape*, Rgb> markers[3] = {{&shpEditDelete, kColourDeleted},
                                               {&shpEditUnNoize[0], kColourNoiseReleased},
                                               {&shpEditUnNoize[1], kColourNoise}};
    for (auto [shape, colour] : markers) {
        shape->Filled = true;
        shape->FillColor = colour;
        shape->BorderColor = RGB(0x40, 0x40, 0x40);
    }
}

}  // namespace orv::form
