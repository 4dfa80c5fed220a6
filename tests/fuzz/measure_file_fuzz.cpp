// The measurements saved beside a result pair ("NAME.dat.meas"), read as export, merge and the
// window read them: nothing reads outside a table or overflows, every value read is a number
// or nothing, the flags stay within their bits, and what was taken saves and reads back to the
// same lines.

#include <cmath>
#include <cstdint>
#include <string>

#include "catalogue/measure/sidecar.h"
#include "core/workspace.h"

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    auto read = catalogue::measure::parseMeasureText(bytes);
    if (!read) return 0;
    if (read->byStar.size() > static_cast<size_t>(core::kMaxStarNo) + 1) __builtin_trap();
    core::Workspace ws;
    ws.Clusters.resize(read->byStar.size());
    ws.MaxStarNo = static_cast<int32_t>(read->byStar.size()) - 1;
    for (size_t n = 1; n < read->byStar.size(); ++n) {
        const core::MeasureRec& r = read->byStar[n];
        if (r.flags < -1 || r.flags > 63) __builtin_trap();
        for (double v : {r.background, r.flux, r.fluxErr, r.theta, r.ellipticity})
            if (std::isinf(v)) __builtin_trap();
        ws.Clusters[n].Used = -1;
    }
    ws.measures = read.value();
    const auto lines = catalogue::measure::measureFileLines(ws);
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    auto again = catalogue::measure::parseMeasureText(text);
    if (!again) __builtin_trap();
    ws.measures = again.value();
    if (catalogue::measure::measureFileLines(ws) != lines) __builtin_trap();
    return 0;
}
