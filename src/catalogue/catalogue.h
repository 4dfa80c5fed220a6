#pragma once
// A catalogue: the results of one picture, or of every tile of a big picture, as one list that
// other tools read: one table with the same columns for every input (catalogue/table.h writes
// it as CSV, ECSV or FITS), and DS9 region files.
//
// Coordinates: a record's x and y keep the result files' convention (0-based, y down, a pixel's
// centre at index + 0.5). The DS9 file uses DS9's image coordinates (1-based, y up, the centre
// of the picture's bottom-left pixel at (1, 1)): x + 0.5, H - y + 0.5 for a picture of H rows,
// the same numbers as the FITS pixel columns of a FITS picture.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/table.h"
#include "core/measure_records.h"
#include "core/settings.h"
#include "form/canvas.h"
#include "formats/fits_sky.h"
#include "results/data_files.h"

namespace orv::catalogue {

struct CatalogueRecord {
    double x = 0.0;  // centroid, result-file convention (in the big picture for a tiled one)
    double y = 0.0;
    std::string tile;  // file name of the picture whose result pair holds the result
    int32_t star = 0;  // its cluster number there
    int16_t atr = 0;
    int16_t editAtr = 0;
    int32_t pixels = 0;
    float sumLevel = 0, maxLevel = 0;
    float hankeiAve = 0, hankeiMin = 0, hankeiMax = 0, hankeiSd = 0;
    float sinendo = 0;  // SinendoRatio
    float siki = 0;     // the cluster's threshold
    std::string note;
    std::optional<formats::SkyPosition> sky;  // RA and Dec (ICRS), when the WCS gives them
    core::MeasureRec measure;                 // photometry, shape and flags (NaN: none)
};

// What a catalogue records about how it was made (its metadata).
struct CatalogueMeta {
    std::string picture;                     // the picture's (or big picture's) file name
    std::string programVersion;              // "ver 2015/09/27"
    std::optional<core::Settings> settings;  // the detection settings of the results
    std::string stretch;                     // how deep samples became 8-bit levels ("" for none)
    double stretchBlack = core::kNotMeasured, stretchWhite = core::kNotMeasured;
    core::PictureMeasures measures;  // unit, samples, noise sigma, saturation, gain, filter
    std::string wcsFrame;            // the header's celestial frame ("" without one)
    int tiles = 0;                   // a merged catalogue: the tiles it joins
};

struct Catalogue {
    std::vector<CatalogueRecord> records;
    int32_t pictureHeight = 0;  // rows of the (big) picture; DS9 and FITS y count from its bottom
    bool fitsColumns = false;   // fill x_fits and y_fits (the picture is a FITS file)
    bool skyColumns = false;    // fill ra and dec (its header holds a celestial WCS)
    CatalogueMeta meta;
};

// A result as a catalogue record at its own centroid. x and y are the decimal numbers the
// result file shows for CenterX and CenterY (7 significant digits), so that every column
// derived from them is exact to the digits printed.
CatalogueRecord fromResult(const results::ResultRecord& r, const std::string& tile);

// The number a Single shows in the result files, as a double: 34.12345f -> 34.12345.
double shownValue(float v);
// A coordinate in the shortest form that keeps 12 significant digits ("34.62345", "4096").
std::string coordinateText(double v);
// An angle in degrees with 8 decimals, as ra and dec are written.
std::string degreesText(double v);

// The catalogue as a table, one row per record in order, `id` its row number (1..N). The
// columns are the same for every catalogue:
//   id, x, y, x_fits, y_fits, ra, dec, flux, flux_err, flux_radius, flux_iso, background, peak,
//   snr, fwhm, a, b, theta, ellipticity, flags, atr, edit_atr, pixels, sum_level, max_level,
//   hankei_ave, hankei_min, hankei_max, hankei_sd, sinendo, siki, tile, star, note
// with a value only where it applies (x_fits and y_fits for a FITS picture, ra and dec with a
// celestial WCS, measurements where the results were measured). Coordinates have 12
// significant digits, ra and dec 8 decimals, measurements 7 significant digits, the result
// file's values the digits it shows. The metadata come from catalogueMetadata.
Table catalogueTable(const Catalogue& c);
// The columns of catalogueTable(c), without its rows.
std::vector<TableColumn> catalogueTableColumns(const Catalogue& c);
// The metadata of a catalogue, in the order written: picture, program version, detection
// settings, stretch, sample unit and kind, noise sigma, saturation, gain, filter, the
// header's WCS frame and the frame of ra and dec (ICRS), tiles joined.
std::vector<MetaValue> catalogueMetadata(const Catalogue& c);
// The lines of the CSV form (header first).
std::vector<std::string> csvLines(const Catalogue& c);

// The colour the window draws a result in: hand-added green, hand-deleted grey, else by class
// (noise blue, area magenta, star red, elongated yellow, noise released cyan). Nothing for a
// result the window does not draw (not classified, unknown codes).
std::optional<form::Rgb> resultColour(int16_t atr, int16_t editAtr);
// Radius of a result's DS9 circle in pixels: its mean radius HankeiAve, at least 2.
double circleRadius(const CatalogueRecord& r);

// The DS9 region file: a header, then one circle per record in image coordinates, coloured as
// the window colours it (white where the window draws nothing) with the record's id as its
// text. Needs c.pictureHeight > 0.
std::vector<std::string> ds9Lines(const Catalogue& c);

}  // namespace orv::catalogue
