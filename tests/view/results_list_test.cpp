#include "view/results_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "edit/scene.h"
#include "edit/star_info.h"
#include "support/pictures.h"

namespace orv::view {
namespace {

using test::Scene;

TEST(ResultsList, ListsWhatTheDisplayOptionsShowByClass) {
    Scene s;
    const struct {
        int listClass;
        int hiddenOption;  // chkDisp turned off first (-1: none)
        std::vector<int32_t> listed;
    } cases[] = {
        {kListAll, -1, {1, 2, 3, 4, 5, 6, 7}},
        {kListAll, 0, {2, 3, 4, 5, 6, 7}},
        {kListAll, 2, {1, 2, 3, 4, 5, 6}},
        {3, -1, {3, 7}},
        {1, -1, {1}},
        {kListAdded, -1, {6}},
        {kListDeleted, -1, {7}},
        {kListDeleted, 2, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.listClass << " " << c.hiddenOption);
        for (auto& box : s.frm.chkDisp) box.Value = 1;
        if (c.hiddenOption >= 0) s.frm.chkDisp[c.hiddenOption].Value = 0;
        EXPECT_EQ(listedResults(s.ctx, c.listClass), c.listed);
    }
}

TEST(ResultsList, CellsShowWhatTheInformationPanelShows) {
    Scene s;
    s.ws.Stars[3].SinendoRatio = 1.25f;
    s.ws.Stars[3].HankeiSD = 0.1f;
    s.ws.Clusters[4].Note = "pair?";
    // Column k of the table is panel label kPanel[k].
    const int kPanel[14] = {11, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13};
    for (int32_t n = 1; n <= 7; ++n) {
        edit::OV_DispStarInfo(s.ctx, n);
        for (int k = 0; k < 14; ++k) {
            SCOPED_TRACE(testing::Message() << "result " << n << " column " << k);
            EXPECT_EQ(cellText(s.ws, nullptr, n, static_cast<ResultColumn>(k)), s.info(kPanel[k]));
        }
        EXPECT_EQ(cellText(s.ws, nullptr, n, ResultColumn::Flux), "-");
        EXPECT_EQ(cellText(s.ws, nullptr, n, ResultColumn::Note), s.frm.txtStarNote.Text);
    }
}

TEST(ResultsList, SortsByAnyColumnWithResultsWithoutAValueLast) {
    Scene s;
    auto& ws = s.ws;
    // 600 results of few distinct values (many ties), some without outline figures.
    ws.MaxStarNo = 600;
    extract::noteTableUse(ws);
    test::Draws draws{7};
    auto next = [&] { return draws.next(); };
    std::vector<int32_t> rows;
    for (int32_t n = 1; n <= 600; ++n) {
        auto& c = ws.Clusters[n];
        c.Used = -1;
        c.Atr = static_cast<int16_t>(1 + next() % 5);
        c.EditAtr = static_cast<int16_t>(next() % 4);
        c.Note = next() % 3 == 0 ? std::string(1, static_cast<char>('a' + next() % 4)) : "";
        ws.Stars[n].CenterX = static_cast<float>(next() % 50) / 4;
        ws.Stars[n].SumLevel = static_cast<float>(next() % 20);
        ws.Stars[n].SinendoRatio = static_cast<float>(next() % 7);
        rows.push_back(n);
    }
    std::reverse(rows.begin(), rows.end());
    for (ResultColumn column :
         {ResultColumn::StarNo, ResultColumn::X, ResultColumn::SumLevel, ResultColumn::Roundness,
          ResultColumn::Atr, ResultColumn::EditAtr, ResultColumn::Note}) {
        for (bool descending : {false, true}) {
            SCOPED_TRACE(testing::Message() << static_cast<int>(column) << " " << descending);
            auto sorted = rows;
            sortResults(ws, nullptr, sorted, column, descending);
            auto same = sorted;
            std::sort(same.begin(), same.end());
            ASSERT_EQ(same, std::vector<int32_t>(rows.rbegin(), rows.rend()));  // a permutation
            // A cell showing "-", or an empty note, has no value (an empty sum is 0).
            auto has = [&](int32_t n) {
                return column == ResultColumn::Note ? !ws.Clusters[n].Note.empty()
                                                    : cellText(ws, nullptr, n, column) != "-";
            };
            auto number = [&](int32_t n) {
                switch (column) {
                    case ResultColumn::X:
                        return static_cast<double>(ws.Stars[n].CenterX);
                    case ResultColumn::SumLevel:
                        return static_cast<double>(ws.Stars[n].SumLevel);
                    case ResultColumn::Roundness:
                        return static_cast<double>(ws.Stars[n].SinendoRatio);
                    case ResultColumn::Atr:
                        return static_cast<double>(ws.Clusters[n].Atr);
                    case ResultColumn::EditAtr:
                        return static_cast<double>(ws.Clusters[n].EditAtr);
                    default:
                        return static_cast<double>(n);
                }
            };
            for (size_t i = 0; i + 1 < sorted.size(); ++i) {
                const int32_t a = sorted[i], b = sorted[i + 1];
                const bool ha = has(a), hb = has(b);
                ASSERT_TRUE(ha || !hb) << "a result without a value before one with";
                if (!ha || !hb) {
                    if (!ha && !hb) {
                        ASSERT_LT(a, b);
                    }
                    continue;
                }
                if (column == ResultColumn::Note) {
                    const auto &na = ws.Clusters[a].Note, &nb = ws.Clusters[b].Note;
                    ASSERT_TRUE(descending ? na >= nb : na <= nb);
                    if (na == nb) {
                        ASSERT_LT(a, b);
                    }
                    continue;
                }
                const double va = number(a), vb = number(b);
                ASSERT_TRUE(descending ? va >= vb : va <= vb) << a << " " << b;
                if (va == vb) {
                    ASSERT_LT(a, b);
                }
            }
        }
    }
}

}  // namespace
}  // namespace orv::view
