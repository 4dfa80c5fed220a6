#pragma once
// The results table (結果一覧) without its widgets: which results it lists (those the display
// options of "再描画" show, optionally one class), its columns with the captions and formats of
// the information panel plus the measurements, and its order by any column.

#include <cstdint>
#include <string>
#include <vector>

#include "form/context.h"

namespace orv::view {

enum class ResultColumn : int {
    StarNo,
    X,
    Y,
    Siki,
    Area,
    Roundness,
    RadiusAve,
    RadiusMin,
    RadiusMax,
    SumLevel,
    RadiusSD,
    MaxLevel,
    Atr,
    EditAtr,
    Flux,
    Fwhm,
    Snr,
    Note,
};
inline constexpr int kResultColumns = static_cast<int>(ResultColumn::Note) + 1;

// The class filter: every listed result, one Atr 1..5, or the results added or deleted by hand.
inline constexpr int kListAll = 0;
inline constexpr int kListAdded = 6;
inline constexpr int kListDeleted = 7;
inline constexpr int kListClasses = 8;
// Its names: "全結果", "ノイズ", ..., "ノイズ解除", "手動追加", "手動削除".
const char* listClassName(int listClass);

// The column's caption and tooltip (the panel's).
std::string columnCaption(ResultColumn column);
std::string columnToolTip(const form::FrmOrvandel& frm, ResultColumn column);

// Whether result n is listed under `listClass`: a number in use that the display options show.
bool isListed(const form::Ctx& ctx, int32_t n, int listClass);
// The listed results in order of their numbers.
std::vector<int32_t> listedResults(const form::Ctx& ctx, int listClass);

// The measurements of the results as the catalogue has them now (none when they are not up to
// date with the tables): the table shows them, it never measures.
const core::MeasureTable* currentMeasures(const core::Workspace& ws);

// The cell's text, as the panel shows the value ("-" where it shows none).
std::string cellText(const core::Workspace& ws, const core::MeasureTable* measures, int32_t n,
                     ResultColumn column);
// Orders `rows` by the column's value (numbers by value, words by their code, notes by text),
// ascending or descending; results without a value come last either way, and equal values
// keep the order of their numbers.
void sortResults(const core::Workspace& ws, const core::MeasureTable* measures,
                 std::vector<int32_t>& rows, ResultColumn column, bool descending);

}  // namespace orv::view
