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
    // whose header cannot be read or whose WCS is unusable, a damaged measurement file): the
    // catalogue is incomplete.
    std::vector<std::string> incomplete;
    // What leaves columns empty without damage (results saved without measurements).
    std::vector<std::string> notes;
};

// The record file of the result pair saved for the picture at `picturePath`: in
// "<picture>.dir" beside it, or under `resultRoot` when that is given.
std::string savedDataFile(const std::string& picturePath, const std::string& resultRoot = "");

// Reads the result pair of the picture at `picturePath` (the picture itself is read only when
// it is a FITS file, for its header) and the measurements saved with it. Every result is kept,
// hand-deleted ones too (edit_atr tells them). Fails with a message when the pair is missing
// or damaged, or when a FITS picture's height differs from the one its results record.
core::Result<PictureCatalogue> readPictureCatalogue(const std::string& picturePath,
                                                    const std::string& resultRoot = "");

// The result pair saved for the picture at `picturePath`, read without touching any working
// state. Fails with a message naming the file when the pair is missing or damaged.
core::Result<results::ResultFiles> readSavedResults(const std::string& picturePath,
                                                    const std::string& resultRoot = "");

// The measurements saved with the pair `files` read from the record file `dataFile` (the
// sidecar its sum file checked, or the file beside it for a pair without a sum file), put
// into the records of result `numbers` (records[k] is result numbers[k]), and what they share
// into `meta`. A pair saved without measurements adds a note, a damaged sidecar a problem;
// the records then keep no measurements.
void addSavedMeasures(std::vector<CatalogueRecord>& records, const std::vector<int32_t>& numbers,
                      const results::ResultFiles& files, const std::string& dataFile,
                      CatalogueMeta& meta, std::vector<std::string>& notes,
                      std::vector<std::string>& problems);

// The metadata a result pair gives: program version, detection settings and stretch.
void addPairMeta(const results::ResultFiles& files, CatalogueMeta& meta);

// Adds the FITS columns of the FITS picture at `fitsPath` to `c`, whose records lie on it:
// x_fits and y_fits (needs c.pictureHeight, taken from NAXIS2 when it is 0) and, when the
// header holds a celestial WCS, ra and dec of every record in ICRS, naming the header's frame
// in the metadata. What cannot be added goes to `incomplete`. Fails, adding nothing, when
// NAXIS2 differs from c.pictureHeight.
core::Result<void> addFitsColumns(Catalogue& c, const std::string& fitsPath,
                                  std::vector<std::string>& incomplete);

}  // namespace orv::catalogue
