#include "catalogue/catalogue_columns.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>

#include "core/numeric.h"

namespace orv::catalogue {

namespace {

using Record = CatalogueRecord;

// The number a coordinate's text shows. A value that is the nearest double to a number of at
// most 7 digits (every centroid read from a result file) prints as that number with 12 digits
// and reads back as itself; others are written and read.
double coordinateValue(double v) {
    if (core::generalFormValue(static_cast<float>(v)) == v) return v;
    return core::parseNumber(coordinateText(v)).value_or(v);
}

// The number a Single's text shows.
double singleValue(float v) {
    return core::generalFormValue(v);
}

// The number an angle's text (degrees with 8 decimals) shows.
double degreesValue(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.8f", v);
    return core::parseNumber(buf).value_or(v);
}

template <typename T>
CatalogueColumn column(const Catalogue& c, const char* name, const char* unit,
                       const char* description, const std::function<T(const Record&)>& value) {
    std::vector<T> values;
    values.reserve(c.records.size());
    for (const Record& r : c.records) values.push_back(value(r));
    return {name, unit, description, std::move(values)};
}

CatalogueColumn whole(const Catalogue& c, const char* name, const char* description,
                      const std::function<int64_t(const Record&)>& value) {
    return column<int64_t>(c, name, "", description, value);
}

CatalogueColumn single(const Catalogue& c, const char* name, const char* unit,
                       const char* description, float Record::*field) {
    return column<double>(c, name, unit, description,
                          [field](const Record& r) { return singleValue(r.*field); });
}

CatalogueColumn text(const Catalogue& c, const char* name, const char* description,
                     std::string Record::*field) {
    return column<std::string>(c, name, "", description,
                               [field](const Record& r) { return r.*field; });
}

}  // namespace

std::vector<CatalogueColumn> catalogueColumns(const Catalogue& c) {
    std::vector<CatalogueColumn> columns;
    columns.push_back(column<double>(c, "x", "pix",
                                     "centroid x (0-based, a pixel's centre at index + 0.5)",
                                     [](const Record& r) { return coordinateValue(r.x); }));
    columns.push_back(column<double>(c, "y", "pix",
                                     "centroid y (0-based, down, a pixel's centre at index + 0.5)",
                                     [](const Record& r) { return coordinateValue(r.y); }));
    columns.push_back(
        text(c, "tile", "file name of the picture whose results hold it", &Record::tile));
    columns.push_back(
        whole(c, "star", "its cluster number there", [](const Record& r) { return r.star; }));
    columns.push_back(whole(c, "atr",
                            "class: 1 noise, 2 area, 3 star, 4 elongated, 5 noise released",
                            [](const Record& r) { return r.atr; }));
    columns.push_back(whole(c, "edit_atr", "edits: 1 deleted, 2 added, 3 both, by hand",
                            [](const Record& r) { return r.editAtr; }));
    columns.push_back(column<int64_t>(c, "pixels", "pix2", "pixels of the cluster",
                                      [](const Record& r) { return r.pixels; }));
    columns.push_back(
        single(c, "sum_level", "", "sum of the levels of its pixels", &Record::sumLevel));
    columns.push_back(single(c, "max_level", "", "brightest level", &Record::maxLevel));
    columns.push_back(single(c, "hankei_ave", "pix", "mean outline radius", &Record::hankeiAve));
    columns.push_back(single(c, "hankei_min", "pix", "smallest sector radius", &Record::hankeiMin));
    columns.push_back(single(c, "hankei_max", "pix", "largest sector radius", &Record::hankeiMax));
    columns.push_back(
        single(c, "hankei_sd", "pix", "spread of the sector radii", &Record::hankeiSd));
    columns.push_back(
        single(c, "sinendo", "", "roundness: largest over smallest radius", &Record::sinendo));
    columns.push_back(
        single(c, "siki", "", "threshold above the background, in levels", &Record::siki));
    columns.push_back(text(c, "note", "note written by hand", &Record::note));
    if (!c.fitsColumns) return columns;
    auto fits = [&c](const Record& r) { return formats::toFitsPixel(r.x, r.y, c.pictureHeight); };
    columns.push_back(
        column<double>(c, "x_fits", "pix", "FITS pixel x (1-based)",
                       [fits](const Record& r) { return coordinateValue(fits(r).x); }));
    columns.push_back(
        column<double>(c, "y_fits", "pix", "FITS pixel y (1-based, up)",
                       [fits](const Record& r) { return coordinateValue(fits(r).y); }));
    if (!c.skyColumns) return columns;
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    columns.push_back(column<double>(c, "ra", "deg", "right ascension", [](const Record& r) {
        return r.sky ? degreesValue(r.sky->ra) : kNone;
    }));
    columns.push_back(column<double>(c, "dec", "deg", "declination", [](const Record& r) {
        return r.sky ? degreesValue(r.sky->dec) : kNone;
    }));
    return columns;
}

}  // namespace orv::catalogue
