#pragma once
// One picture through the engine in memory, for a caller that keeps no files (the Python
// module): loaded as `detect` loads it (a picture file through the same reader, or a picture
// the caller holds, deep samples stretched alike), run through background, clusters and
// analysis as `detect` runs it, and handed back as the catalogue of its results as the result
// pair would keep them. Nothing is saved and no processing log is written. Runs on different
// threads do not share anything.

#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "control/headless_run.h"
#include "core/settings.h"
#include "form/picture.h"
#include "psf/profile.h"

namespace orv::control {

// Where the picture comes from: the picture file at `path` (absolute) when it is not empty,
// else `picture` itself (8-bit levels, or deep samples for the stretch), which must stay alive
// during the run.
struct PictureSource {
    std::string path;
    form::Picture picture;
};

struct DetectedPicture {
    // ok, or the failure (Load: the picture could not be loaded, with the loader's reason;
    // Fault: an arithmetic fault or no memory); the counts by class, the Siki used, the noise
    // sigma and, in `incomplete`, what a full cluster table left undone.
    PictureOutcome outcome;
    // Every result, in the result file's order: noise and all. A FITS file adds the FITS
    // pixel columns and, with a celestial WCS, RA and Dec.
    catalogue::Catalogue catalogue;
    std::vector<std::string> missingColumns;  // FITS columns that could not be added, and why
    core::Settings settings;                  // as the run used them (Siki as it set it)
    int32_t width = 0, height = 0;
    // The stretch of a deep picture ("" for 8-bit levels) and its black and white points.
    std::string stretch;
    double stretchBlack = 0, stretchWhite = 0;
    // Where a full table stopped the extraction (0: it did not) and the clusters a full table
    // cut from the gourd split.
    int32_t stoppedAtRow = 0;
    int32_t splitsCutShort = 0;
    double engineSeconds = 0;  // loading and the three steps, wall clock
};

// Loads and detects as `detect` does with `options` (its decoder reads the files that are no
// FITS files), without saving. The tile column holds the file's name ("" for a held picture).
DetectedPicture detectInMemory(const HeadlessOptions& options, const PictureSource& source);

// A star to measure: its result number and its centroid as the result pair keeps it
// (picture coordinates, a pixel's centre at index + 0.5).
struct PsfStar {
    int32_t number = 0;
    float x = 0, y = 0;
};

struct PsfStarProfile {
    PsfStar star;
    psf::Measurement::Outcome outcome = psf::Measurement::Outcome::NearEdge;
    std::string skipped;  // why there is no profile ("" when fitted)
    float sigma = 0, peak = 0, sky = 0;
    bool adopted = false;  // taken into the PSF table (it holds psf::kMaxEntries)
};

struct PsfRun {
    PictureOutcome outcome;       // the picture's load (and, without stars, its detection)
    std::string settingsProblem;  // why no profile can be fitted ("" when one can)
    std::vector<PsfStarProfile> stars;
    int16_t entries = 0;    // profiles adopted
    float sd = 0, sdd = 0;  // PSFsd and PSFsdd of the adopted profiles
};

// The PSF profiles of the stars of a picture, as the PSF page computes them with the settings'
// PSFAnnulus, PSFDAnnulus and PSFFactorRSD, each fitted profile adopted as 採用 adopts it. With
// no stars given, the picture is detected first (detectInMemory) and every circular result not
// deleted is measured, in number order, as `psf` measures a picture's saved results.
PsfRun psfInMemory(const HeadlessOptions& options, const PictureSource& source,
                   const std::optional<std::vector<PsfStar>>& stars);

}  // namespace orv::control
