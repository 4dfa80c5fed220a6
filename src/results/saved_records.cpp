#include "results/saved_records.h"

#include <algorithm>

#include "core/numeric.h"
#include "extract/records.h"

namespace orv::results {

namespace {

// A Single after its general form was written and read back.
float kept(float v) {
    return static_cast<float>(core::generalFormValue(v));
}

// A text field after it was written in quotes and read back.
std::string keptText(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

}  // namespace

ResultRecord savedRecord(const core::Workspace& ws, int32_t i) {
    const extract::ClusterRec& c = ws.Clusters[i];
    const extract::StarRec& s = ws.Stars[i];
    ResultRecord r;
    r.number = i;
    extract::ClusterRec& rc = r.cluster;
    rc.StartX = kept(c.StartX);
    rc.StartY = kept(c.StartY);
    rc.Siki = kept(c.Siki);
    rc.Atr = c.Atr;
    rc.EditAtr = c.EditAtr;
    rc.Reserve1 = c.Reserve1;
    rc.Reserve2 = c.Reserve2;
    rc.Reserve3 = c.Reserve3;
    rc.Note = keptText(c.Note);
    rc.Divided = 0;
    rc.Used = -1;
    extract::StarRec& rs = r.star;
    rs.CenterX = kept(s.CenterX);
    rs.CenterY = kept(s.CenterY);
    rs.PixelCount = s.PixelCount;
    rs.SumLevel = kept(s.SumLevel);
    rs.MaxLevel = kept(s.MaxLevel);
    rs.Outline = keptText(s.Outline);
    rs.HankeiAve = kept(s.HankeiAve);
    rs.HankeiMax = kept(s.HankeiMax);
    rs.HankeiMin = kept(s.HankeiMin);
    rs.HankeiSD = kept(s.HankeiSD);
    rs.SinendoRatio = kept(s.SinendoRatio);
    rs.Spare1 = kept(s.Spare1);
    rs.Spare2 = kept(s.Spare2);
    rs.Spare3 = kept(s.Spare3);
    rs.Spare4 = kept(s.Spare4);
    return r;
}

std::vector<int32_t> savedNumbers(const core::Workspace& ws) {
    std::vector<int32_t> numbers;
    const int32_t last =
        std::min<int32_t>(static_cast<int32_t>(ws.Clusters.size()) - 1, extract::kMaxStarNo);
    for (int32_t i = 0; i <= last; ++i) {
        const extract::ClusterRec& c = ws.Clusters[i];
        if (c.Divided != -1 && c.Used != 0) numbers.push_back(i);
    }
    return numbers;
}

std::vector<ResultRecord> savedRecords(const core::Workspace& ws) {
    const std::vector<int32_t> numbers = savedNumbers(ws);
    std::vector<ResultRecord> records;
    records.reserve(numbers.size());
    for (int32_t i : numbers) records.push_back(savedRecord(ws, i));
    return records;
}

}  // namespace orv::results
