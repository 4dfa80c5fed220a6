#include "catalogue/picture_catalogue.h"

#include "core/paths.h"
#include "formats/fits.h"
#include "formats/fits_sky.h"

namespace orv::catalogue {

std::string savedDataFile(const std::string& picturePath) {
    const std::string name = core::fileNameOf(picturePath);
    const std::string folder = core::joinPath(core::GetFolderName(picturePath), name + ".dir");
    return core::joinPath(folder, name + ".dat");
}

core::Result<results::ResultFiles> readSavedResults(const std::string& picturePath) {
    const std::string dataFile = savedDataFile(picturePath);
    if (!core::fileExists(dataFile))
        return core::Error{"no saved results: " + dataFile + " not found"};
    return results::readResultFiles(dataFile + ".ini", dataFile);
}

core::Result<void> addFitsColumns(Catalogue& c, const std::string& fitsPath,
                                  std::vector<std::string>& incomplete) {
    auto sky = formats::FitsSky::read(fitsPath);
    if (!sky) {
        // The pixel columns need only the height.
        c.fitsColumns = c.pictureHeight > 0;
        incomplete.push_back("no ra and dec: " + sky.error());
        return {};
    }
    if (c.pictureHeight <= 0) c.pictureHeight = static_cast<int32_t>(sky->naxis2());
    if (sky->naxis2() != c.pictureHeight)
        return core::Error{"the results are of a picture of " + std::to_string(c.pictureHeight) +
                           " rows, but " + fitsPath + " has " + std::to_string(sky->naxis2()) +
                           " (NAXIS2)"};
    c.fitsColumns = true;
    if (!sky->hasCelestialWcs()) {
        if (!sky->wcsProblem().empty()) incomplete.push_back("no ra and dec: " + sky->wcsProblem());
        return {};
    }
    c.skyColumns = true;
    for (CatalogueRecord& r : c.records)
        r.sky = sky->toSky(formats::toFitsPixel(r.x, r.y, c.pictureHeight));
    return {};
}

core::Result<PictureCatalogue> readPictureCatalogue(const std::string& picturePath) {
    auto files = readSavedResults(picturePath);
    if (!files) return core::Error{files.error()};
    PictureCatalogue out;
    Catalogue& c = out.catalogue;
    c.pictureHeight = files->imageHeightP;
    const std::string name = core::fileNameOf(picturePath);
    for (const results::ResultRecord& r : files->records) c.records.push_back(fromResult(r, name));
    if (formats::isFitsFile(picturePath))
        if (auto added = addFitsColumns(c, picturePath, out.incomplete); !added)
            return core::Error{added.error()};
    return out;
}

}  // namespace orv::catalogue
