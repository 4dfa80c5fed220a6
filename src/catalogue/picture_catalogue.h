#pragma once
// The catalogue of one picture's saved results (its result pair in "<picture>.dir"), with the
// FITS pixel columns and, where the header allows, RA and Dec when the picture is a FITS file.

#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "core/result.h"
#include "results/data_files.h"

namespace orv::catalogue {

struct PictureCatalogue {
    Catalogue catalogue;
    // What could not be added although the picture calls for it (RA and Dec of a FITS file
    // whose header cannot be read or whose WCS is unusable): the catalogue is incomplete.
    std::vector<std::string> incomplete;
};

// Reads the result pair of the picture at `picturePath` (the picture itself is read only when
// it is a FITS file, for its header). Every result is kept, hand-deleted ones too (edit_atr
// tells them). Fails with a message when the pair is missing or damaged, or when a FITS
// picture's height differs from the one its results record.
core::Result<PictureCatalogue> readPictureCatalogue(const std::string& picturePath);

// The result pair saved for the picture at `picturePath`, read without touching any working
// state. Fails with a message naming the file when the pair is missing or damaged.
core::Result<results::ResultFiles> readSavedResults(const std::string& picturePath);
// The record file of the picture at `picturePath`: "<picture>.dir/<name>.dat".
std::string savedDataFile(const std::string& picturePath);

// Adds the FITS columns of the FITS picture at `fitsPath` to `c`, whose records lie on it:
// x_fits and y_fits (needs c.pictureHeight, taken from NAXIS2 when it is 0) and, when the
// header holds a celestial WCS, ra and dec of every record. What cannot be added goes to
// `incomplete`. Fails, adding nothing, when NAXIS2 differs from c.pictureHeight.
core::Result<void> addFitsColumns(Catalogue& c, const std::string& fitsPath,
                                  std::vector<std::string>& incomplete);

}  // namespace orv::catalogue
