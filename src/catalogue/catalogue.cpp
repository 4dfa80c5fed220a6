#include "catalogue/catalogue.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "catalogue/measure/sidecar.h"
#include "core/numeric.h"
#include "core/parallel.h"
#include "core/text_file.h"
#include "core/workspace.h"
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

std::string degreesText(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.8f", v);
    return buf;
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

namespace {

using measure::measureText;

// The columns of every catalogue; `unit` is the unit of the samples.
std::vector<TableColumn> catalogueColumns(const std::string& unit) {
    using T = ColumnType;
    return {
        {"id", T::Integer, "", "row number, unique in the catalogue"},
        {"x", T::Real, "pix", "centroid x, 0-based; a pixel's centre at index + 0.5"},
        {"y", T::Real, "pix", "centroid y, 0-based, downwards"},
        {"x_fits", T::Real, "pix", "FITS pixel x, 1-based"},
        {"y_fits", T::Real, "pix", "FITS pixel y, 1-based, upwards"},
        {"ra", T::Real, "deg", "right ascension (ICRS)"},
        {"dec", T::Real, "deg", "declination (ICRS)"},
        {"flux", T::Real, unit, "sky-subtracted flux in the aperture"},
        {"flux_err", T::Real, unit, "1-sigma error of flux"},
        {"flux_radius", T::Real, "pix", "radius of the flux aperture"},
        {"flux_iso", T::Real, unit, "sky-subtracted flux of the cluster's pixels"},
        {"background", T::Real, unit, "local sky per pixel"},
        {"peak", T::Real, unit, "brightest pixel above the sky"},
        {"snr", T::Real, "", "flux / flux_err"},
        {"fwhm", T::Real, "pix", "full width at half maximum"},
        {"a", T::Real, "pix", "sigma along the major axis"},
        {"b", T::Real, "pix", "sigma along the minor axis"},
        {"theta", T::Real, "deg", "major axis, counter-clockwise from +x, y up"},
        {"ellipticity", T::Real, "", "1 - b / a"},
        {"flags", T::Integer, "",
         "1 saturated 2 edge 4 gourd part 8 unprocessed 16 edited 32 added"},
        {"atr", T::Integer, "", "class: 1 noise 2 area 3 star 4 elongated 5 noise released"},
        {"edit_atr", T::Integer, "", "edits: 1 deleted by hand, 2 added by hand"},
        {"pixels", T::Integer, "", "pixels of the cluster"},
        {"sum_level", T::Real, "", "sum of the cluster's 8-bit levels"},
        {"max_level", T::Real, "", "largest 8-bit level of the cluster"},
        {"hankei_ave", T::Real, "pix", "mean outline radius"},
        {"hankei_min", T::Real, "pix", "smallest outline radius"},
        {"hankei_max", T::Real, "pix", "largest outline radius"},
        {"hankei_sd", T::Real, "pix", "spread of the outline radii"},
        {"sinendo", T::Real, "", "roundness: largest / smallest radius"},
        {"siki", T::Real, "", "threshold above the background (levels)"},
        {"tile", T::Text, "", "picture whose result pair holds the result"},
        {"star", T::Integer, "", "the result's number in that pair"},
        {"note", T::Text, "", "the user's note"},
    };
}

std::vector<std::string> catalogueRow(const Catalogue& c, const CatalogueRecord& r, size_t id) {
    std::vector<std::string> row = {std::to_string(id), coordinateText(r.x), coordinateText(r.y)};
    if (c.fitsColumns) {
        const formats::FitsPixel p = formats::toFitsPixel(r.x, r.y, c.pictureHeight);
        row.push_back(coordinateText(p.x));
        row.push_back(coordinateText(p.y));
    } else {
        row.insert(row.end(), {"", ""});
    }
    const bool sky = c.skyColumns && r.sky;
    row.push_back(sky ? degreesText(r.sky->ra) : "");
    row.push_back(sky ? degreesText(r.sky->dec) : "");
    const core::MeasureRec& m = r.measure;
    for (double v : {m.flux, m.fluxErr, m.fluxRadius, m.fluxIso, m.background, m.peak, m.snr,
                     m.fwhm, m.a, m.b, m.theta, m.ellipticity})
        row.push_back(measureText(v));
    row.push_back(m.flags < 0 ? "" : std::to_string(m.flags));
    for (int64_t v : {int64_t{r.atr}, int64_t{r.editAtr}, int64_t{r.pixels}}) row.push_back(g(v));
    for (float v : {r.sumLevel, r.maxLevel, r.hankeiAve, r.hankeiMin, r.hankeiMax, r.hankeiSd,
                    r.sinendo, r.siki})
        row.push_back(g(v));
    row.push_back(r.tile);
    row.push_back(g(int64_t{r.star}));
    row.push_back(r.note);
    return row;
}

}  // namespace

std::vector<MetaValue> catalogueMetadata(const Catalogue& c) {
    const CatalogueMeta& m = c.meta;
    std::vector<MetaValue> meta;
    auto text = [&](const char* key, const char* fitsKey, const std::string& value,
                    const char* comment) {
        if (!value.empty()) meta.push_back({key, fitsKey, value, std::nullopt, comment});
    };
    auto number = [&](const char* key, const char* fitsKey, double value, const char* comment) {
        if (std::isfinite(value)) meta.push_back({key, fitsKey, "", value, comment});
    };
    text("picture", "PICTURE", m.picture, "the picture measured");
    text("program_version", "PROGVER", m.programVersion, "Orvandel version");
    if (m.settings) {
        const core::Settings& s = *m.settings;
        number("heikin_width", "HEIKINW", s.HeikinWidth, "background window half-width (pix)");
        number("siki", "SIKI", s.Siki, "cluster threshold above background (levels)");
        number("siki_top", "SIKITOP", s.SikiTop, "upper threshold (levels)");
        number("num_pixel", "NUMPIX", s.NumPixel, "fewer pixels: noise");
        number("num_pixel2", "NUMPIX2", s.NumPixel2, "fewer pixels: area object");
        number("sinendo", "SINENDO", s.Sinendo, "roundness limit of a star");
        number("sinendo_max", "SINENMAX", s.SinendoMax, "roundness from which elongated");
        number("margin", "MARGIN", s.Margin, "margin (pix)");
        number("filter_sigma", "FILTSIG", s.FilterSigma, "detection filter sigma (0 = off)");
    }
    text("stretch", "STRETCH", m.stretch, "deep samples to 8-bit levels");
    number("stretch_black", "STRBLACK", m.stretchBlack, "sample value of level 0");
    number("stretch_white", "STRWHITE", m.stretchWhite, "sample value of level 255");
    text("flux_unit", "FLUXUNIT", m.measures.unit, "unit of flux, background, peak");
    text("samples", "SAMPLES", m.measures.samples, "measured on: samples or levels");
    number("noise_sigma", "NOISESIG", m.measures.noiseSigma, "median sky noise per pixel");
    number("saturation", "SATURATE", m.measures.saturation, "saturated from this value");
    number("gain", "GAIN", m.measures.gain, "electrons per unit");
    text("filter", "FILTER", m.measures.filter, "the picture's filter");
    text("wcs_frame", "WCSFRAME", m.wcsFrame, "celestial frame of the picture's WCS");
    if (c.skyColumns) text("radec_frame", "RADECSYS", "ICRS", "frame of ra and dec");
    if (m.tiles > 0) number("tiles", "TILES", m.tiles, "tiles joined");
    return meta;
}

std::vector<TableColumn> catalogueTableColumns(const Catalogue& c) {
    return catalogueColumns(c.meta.measures.unit.empty() ? "adu" : c.meta.measures.unit);
}

Table catalogueTable(const Catalogue& c) {
    Table t;
    t.columns = catalogueTableColumns(c);
    // The rows are independent of each other: a large catalogue makes them on every core.
    t.rows = core::collectInParts(core::pictureWorkers(0), static_cast<int64_t>(c.records.size()),
                                  core::kManyLines, [&](int64_t i) {
                                      const auto k = static_cast<size_t>(i);
                                      return catalogueRow(c, c.records[k], k + 1);
                                  });
    t.meta = catalogueMetadata(c);
    return t;
}

std::vector<std::string> csvLines(const Catalogue& c) {
    return core::splitLines(csvBytes(catalogueTable(c)));
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
    int64_t id = 0;
    for (const CatalogueRecord& r : c.records) {
        const formats::FitsPixel p = formats::toFitsPixel(r.x, r.y, c.pictureHeight);
        const auto colour = resultColour(r.atr, r.editAtr);
        lines.push_back("circle(" + coordinateText(p.x) + "," + coordinateText(p.y) + "," +
                        coordinateText(circleRadius(r)) +
                        ") # color=" + (colour ? ds9Colour(*colour) : std::string("white")) +
                        " text={" + g(++id) + "}");
    }
    return lines;
}

}  // namespace orv::catalogue
