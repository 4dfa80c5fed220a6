#pragma once
// A catalogue: the results of one picture, or of every tile of a big picture, as one list that
// other tools read. Two writers: CSV with a header line, and DS9 region files.
//
// Coordinates: a record's x and y keep the result files' convention (0-based, y down, a pixel's
// centre at index + 0.5). The DS9 file uses DS9's image coordinates (1-based, y up, the centre
// of the picture's bottom-left pixel at (1, 1)): x + 0.5, H - y + 0.5 for a picture of H rows,
// the same numbers as the FITS pixel columns of a FITS picture.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
    std::optional<formats::SkyPosition> sky;  // RA and Dec, when the WCS gives them
};

struct Catalogue {
    std::vector<CatalogueRecord> records;
    int32_t pictureHeight = 0;  // rows of the (big) picture; DS9 and FITS y count from its bottom
    bool fitsColumns = false;   // add x_fits and y_fits (the picture is a FITS file)
    bool skyColumns = false;    // add ra and dec (its header holds a celestial WCS)
};

// A result as a catalogue record at its own centroid. x and y are the decimal numbers the
// result file shows for CenterX and CenterY (7 significant digits), so that every column
// derived from them is exact to the digits printed.
CatalogueRecord fromResult(const results::ResultRecord& r, const std::string& tile);

// The number a Single shows in the result files, as a double: 34.12345f -> 34.12345.
double shownValue(float v);
// A coordinate in the shortest form that keeps 12 significant digits ("34.62345", "4096").
std::string coordinateText(double v);

// The CSV lines: the header, then one line per record. Columns:
//   x,y,tile,star,atr,edit_atr,pixels,sum_level,max_level,hankei_ave,hankei_min,hankei_max,
//   hankei_sd,sinendo,siki,note[,x_fits,y_fits[,ra,dec]]
// Text columns (tile, note) are always in double quotes, a quote inside doubled; numbers never.
// ra and dec are in degrees with 8 decimals, empty where the projection has no solution.
std::vector<std::string> csvLines(const Catalogue& c);

// The colour the window draws a result in: hand-added green, hand-deleted grey, else by class
// (noise blue, area magenta, star red, elongated yellow, noise released cyan). Nothing for a
// result the window does not draw (not classified, unknown codes).
std::optional<form::Rgb> resultColour(int16_t atr, int16_t editAtr);
// Radius of a result's DS9 circle in pixels: its mean radius HankeiAve, at least 2.
double circleRadius(const CatalogueRecord& r);

// The DS9 region file: a header, then one circle per record in image coordinates, coloured as
// the window colours it (white where the window draws nothing) with the cluster number as its
// text. Needs c.pictureHeight > 0.
std::vector<std::string> ds9Lines(const Catalogue& c);

}  // namespace orv::catalogue
