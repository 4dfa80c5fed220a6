// Design-time state of the navigation panel fraView and of the information panel fraStarInfo
// with its edit frame.

#include <utility>

#include "ui/class_colours.h"
#include "ui/frm_orvandel.h"

namespace orv::ui {

namespace {

template <typename C>
void set(C& c, const char* caption, const char* tip = "") {
    c.Caption = caption;
    c.ToolTipText = tip;
}

}  // namespace

void FrmOrvandel::initInspection() {
    set(cmdZoom[0], "＋", "２倍に拡大します。");
    set(cmdZoom[1], "－", "２分の１に縮小します。");
    set(cmdZoom[2], "◎", "拡大１倍、基準位置に設定を復帰します。");
    // The caption shows only when the button's picture file cannot be read.
    set(cmdZoom[3], "手", "ハンドツールの動作を切り替えます。");
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

}  // namespace orv::ui
