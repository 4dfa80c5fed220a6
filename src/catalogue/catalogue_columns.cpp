#include "catalogue/catalogue_columns.h"

#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <unordered_map>

#include "core/numeric.h"

namespace orv::catalogue {

namespace {

using Record = CatalogueRecord;
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// The number a coordinate's text shows. A value that is the nearest double to a number of at
// most 7 digits (every centroid read from a result file) prints as that number with 12 digits
// and reads back as itself; others are written and read.
double coordinateValue(double v) {
    if (core::generalFormValue(static_cast<float>(v)) == v) return v;
    return core::parseNumber(coordinateText(v)).value_or(v);
}

// The number an angle's text (degrees with 8 decimals) shows.
double degreesValue(double v) {
    return core::parseNumber(degreesText(v)).value_or(v);
}

// The number a measurement's text (7 significant digits) shows; NaN for an empty cell.
double measureValue(double v) {
    return std::isfinite(v) ? core::generalFormValue(v, 7) : kNone;
}

// A cell's value for record r (its row is id - 1); nothing for an empty cell.
using IntegerCell = std::function<std::optional<int64_t>(const Catalogue&, const Record&, size_t)>;
using RealCell = std::function<double(const Catalogue&, const Record&)>;  // NaN: empty
using TextCell = std::function<std::string(const Record&)>;
using Cell = std::variant<IntegerCell, RealCell, TextCell>;

RealCell single(float Record::*field) {
    return [field](const Catalogue&, const Record& r) { return core::generalFormValue(r.*field); };
}

RealCell measured(double core::MeasureRec::*field) {
    return [field](const Catalogue&, const Record& r) { return measureValue(r.measure.*field); };
}

IntegerCell whole(int64_t (*value)(const Record&)) {
    return [value](const Catalogue&, const Record& r, size_t) { return value(r); };
}

// How each column of the table is worked out without writing its text.
const std::unordered_map<std::string, Cell>& cells() {
    using M = core::MeasureRec;
    static const std::unordered_map<std::string, Cell> table = {
        {"id", IntegerCell([](const Catalogue&, const Record&, size_t row) {
             return static_cast<int64_t>(row + 1);
         })},
        {"x", RealCell([](const Catalogue&, const Record& r) { return coordinateValue(r.x); })},
        {"y", RealCell([](const Catalogue&, const Record& r) { return coordinateValue(r.y); })},
        {"x_fits", RealCell([](const Catalogue& c, const Record& r) {
             return c.fitsColumns
                        ? coordinateValue(formats::toFitsPixel(r.x, r.y, c.pictureHeight).x)
                        : kNone;
         })},
        {"y_fits", RealCell([](const Catalogue& c, const Record& r) {
             return c.fitsColumns
                        ? coordinateValue(formats::toFitsPixel(r.x, r.y, c.pictureHeight).y)
                        : kNone;
         })},
        {"ra", RealCell([](const Catalogue& c, const Record& r) {
             return c.skyColumns && r.sky ? degreesValue(r.sky->ra) : kNone;
         })},
        {"dec", RealCell([](const Catalogue& c, const Record& r) {
             return c.skyColumns && r.sky ? degreesValue(r.sky->dec) : kNone;
         })},
        {"flux", measured(&M::flux)},
        {"flux_err", measured(&M::fluxErr)},
        {"flux_radius", measured(&M::fluxRadius)},
        {"flux_iso", measured(&M::fluxIso)},
        {"background", measured(&M::background)},
        {"peak", measured(&M::peak)},
        {"snr", measured(&M::snr)},
        {"fwhm", measured(&M::fwhm)},
        {"a", measured(&M::a)},
        {"b", measured(&M::b)},
        {"theta", measured(&M::theta)},
        {"ellipticity", measured(&M::ellipticity)},
        {"flags", IntegerCell([](const Catalogue&, const Record& r, size_t) {
             return r.measure.flags < 0 ? std::nullopt : std::optional<int64_t>(r.measure.flags);
         })},
        {"atr", whole([](const Record& r) -> int64_t { return r.atr; })},
        {"edit_atr", whole([](const Record& r) -> int64_t { return r.editAtr; })},
        {"pixels", whole([](const Record& r) -> int64_t { return r.pixels; })},
        {"sum_level", single(&Record::sumLevel)},
        {"max_level", single(&Record::maxLevel)},
        {"hankei_ave", single(&Record::hankeiAve)},
        {"hankei_min", single(&Record::hankeiMin)},
        {"hankei_max", single(&Record::hankeiMax)},
        {"hankei_sd", single(&Record::hankeiSd)},
        {"sinendo", single(&Record::sinendo)},
        {"siki", single(&Record::siki)},
        {"tile", TextCell([](const Record& r) { return r.tile; })},
        {"star", whole([](const Record& r) -> int64_t { return r.star; })},
        {"note", TextCell([](const Record& r) { return r.note; })},
    };
    return table;
}

// A column the table has and `cells` does not know: read back from the table's texts (made
// once, for the first such column).
void fromTableTexts(const Catalogue& c, size_t index, std::optional<Table>& texts,
                    CatalogueColumn& column) {
    if (!texts) texts = catalogueTable(c);
    const Table& t = *texts;
    std::vector<int64_t> whole;
    std::vector<double> real;
    std::vector<std::string> text;
    for (size_t row = 0; row < t.rows.size(); ++row) {
        const std::string& cell = t.rows[row][index];
        const std::optional<double> v = core::parseNumber(cell);
        if (column.type != ColumnType::Text && !v) {
            column.missing.resize(t.rows.size());
            column.missing[row] = 1;
        }
        if (column.type == ColumnType::Integer)
            whole.push_back(v ? static_cast<int64_t>(*v) : 0);
        else if (column.type == ColumnType::Real)
            real.push_back(v ? *v : kNone);
        else
            text.push_back(cell);
    }
    if (column.type == ColumnType::Integer)
        column.values = std::move(whole);
    else if (column.type == ColumnType::Real)
        column.values = std::move(real);
    else
        column.values = std::move(text);
}

void fill(const Catalogue& c, const Cell& cell, CatalogueColumn& column) {
    const size_t n = c.records.size();
    auto miss = [&](size_t row) {
        column.missing.resize(n);
        column.missing[row] = 1;
    };
    if (const auto* integer = std::get_if<IntegerCell>(&cell)) {
        std::vector<int64_t> values(n);
        for (size_t row = 0; row < n; ++row) {
            const std::optional<int64_t> v = (*integer)(c, c.records[row], row);
            if (v)
                values[row] = *v;
            else
                miss(row);
        }
        column.values = std::move(values);
    } else if (const auto* real = std::get_if<RealCell>(&cell)) {
        std::vector<double> values(n);
        for (size_t row = 0; row < n; ++row) {
            values[row] = (*real)(c, c.records[row]);
            if (std::isnan(values[row])) miss(row);
        }
        column.values = std::move(values);
    } else {
        std::vector<std::string> values(n);
        for (size_t row = 0; row < n; ++row) values[row] = std::get<TextCell>(cell)(c.records[row]);
        column.values = std::move(values);
    }
}

}  // namespace

std::vector<CatalogueColumn> catalogueColumns(const Catalogue& c) {
    std::vector<CatalogueColumn> columns;
    const std::vector<TableColumn> names = catalogueTableColumns(c);
    std::optional<Table> texts;
    for (size_t k = 0; k < names.size(); ++k) {
        const TableColumn& t = names[k];
        CatalogueColumn column{t.name, t.type, t.unit, t.description, {}, {}};
        const auto known = cells().find(t.name);
        if (known != cells().end())
            fill(c, known->second, column);
        else
            fromTableTexts(c, k, texts, column);
        columns.push_back(std::move(column));
    }
    return columns;
}

}  // namespace orv::catalogue
