#include "catalogue/catalogue.h"

#include <algorithm>
#include <cstdio>

#include "core/numeric.h"
#include "extract/records.h"
#include "form/class_colours.h"

namespace orv::catalogue {

namespace {

std::string g(float v) {
    return core::generalForm(v);
}

std::string g(int64_t v) {
    return core::generalForm(v);
}

// A CSV text field: always quoted, a quote inside written twice.
std::string csvText(const std::string& text) {
    std::string out = "\"";
    for (char ch : text) {
        if (ch == '"') out += '"';
        out += ch;
    }
    return out + "\"";
}

std::string degrees(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.8f", v);
    return buf;
}

// "#rrggbb", as DS9 takes a colour.
std::string ds9Colour(form::Rgb c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", (c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
    return buf;
}

constexpr double kMinCircleRadius = 2.0;

}  // namespace

double shownValue(float v) {
    return core::generalFormValue(v);
}

std::string coordinateText(double v) {
    return core::generalForm(v, 12);
}

CatalogueRecord fromResult(const results::ResultRecord& r, const std::string& tile) {
    const extract::ClusterRec& c = r.cluster;
    const extract::StarRec& s = r.star;
    CatalogueRecord out;
    out.x = shownValue(s.CenterX);
    out.y = shownValue(s.CenterY);
    out.tile = tile;
    out.star = r.number;
    out.atr = c.Atr;
    out.editAtr = c.EditAtr;
    out.pixels = s.PixelCount;
    out.sumLevel = s.SumLevel;
    out.maxLevel = s.MaxLevel;
    out.hankeiAve = s.HankeiAve;
    out.hankeiMin = s.HankeiMin;
    out.hankeiMax = s.HankeiMax;
    out.hankeiSd = s.HankeiSD;
    out.sinendo = s.SinendoRatio;
    out.siki = c.Siki;
    out.note = c.Note;
    return out;
}

std::vector<std::string> csvLines(const Catalogue& c) {
    std::string header =
        "x,y,tile,star,atr,edit_atr,pixels,sum_level,max_level,hankei_ave,hankei_min,hankei_max,"
        "hankei_sd,sinendo,siki,note";
    if (c.fitsColumns) header += ",x_fits,y_fits";
    if (c.fitsColumns && c.skyColumns) header += ",ra,dec";
    std::vector<std::string> lines{header};
    lines.reserve(c.records.size() + 1);
    for (const CatalogueRecord& r : c.records) {
        std::string line = coordinateText(r.x) + ',' + coordinateText(r.y) + ',' + csvText(r.tile);
        for (int64_t v : {int64_t{r.star}, int64_t{r.atr}, int64_t{r.editAtr}, int64_t{r.pixels}})
            line += ',' + g(v);
        for (float v : {r.sumLevel, r.maxLevel, r.hankeiAve, r.hankeiMin, r.hankeiMax, r.hankeiSd,
                        r.sinendo, r.siki})
            line += ',' + g(v);
        line += ',' + csvText(r.note);
        if (c.fitsColumns) {
            const formats::FitsPixel p = formats::toFitsPixel(r.x, r.y, c.pictureHeight);
            line += ',' + coordinateText(p.x) + ',' + coordinateText(p.y);
            if (c.skyColumns)
                line += r.sky ? ',' + degrees(r.sky->ra) + ',' + degrees(r.sky->dec) : ",,";
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

std::optional<form::Rgb> resultColour(int16_t atr, int16_t editAtr) {
    using namespace extract;
    switch (editAtr) {
        case 0:
            break;
        case kEditAdded:
            return form::kColourAdded;
        case kEditDeleted:
        case kEditDeleted | kEditAdded:
            return form::kColourDeleted;
        default:
            return std::nullopt;
    }
    switch (atr) {
        case kAtrNoise:
            return form::kColourNoise;
        case kAtrArea:
            return form::kColourArea;
        case kAtrCircular:
            return form::kColourCircular;
        case kAtrElongated:
            return form::kColourElongated;
        case kAtrNoiseReleased:
            return form::kColourNoiseReleased;
        default:
            return std::nullopt;
    }
}

double circleRadius(const CatalogueRecord& r) {
    return std::max<double>(shownValue(r.hankeiAve), kMinCircleRadius);
}

std::vector<std::string> ds9Lines(const Catalogue& c) {
    std::vector<std::string> lines = {
        "# Region file format: DS9 version 4.1",
        "global color=green dashlist=8 3 width=1 font=\"helvetica 10 normal roman\" select=1 "
        "highlite=1 dash=0 fixed=0 edit=1 move=1 delete=1 include=1 source=1",
        "image",
    };
    lines.reserve(c.records.size() + lines.size());
    for (const CatalogueRecord& r : c.records) {
        const formats::FitsPixel p = formats::toFitsPixel(r.x, r.y, c.pictureHeight);
        const auto colour = resultColour(r.atr, r.editAtr);
        lines.push_back("circle(" + coordinateText(p.x) + "," + coordinateText(p.y) + "," +
                        coordinateText(circleRadius(r)) +
                        ") # color=" + (colour ? ds9Colour(*colour) : std::string("white")) +
                        " text={" + g(int64_t{r.star}) + "}");
    }
    return lines;
}

}  // namespace orv::catalogue
