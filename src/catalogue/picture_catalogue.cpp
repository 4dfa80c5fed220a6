#include "catalogue/picture_catalogue.h"

#include "core/paths.h"
#include "formats/fits.h"
#include "formats/fits_sky.h"
#include "results/data_files.h"

namespace orv::catalogue {

core::Result<PictureCatalogue> readPictureCatalogue(const std::string& picturePath) {
    const std::string name = core::fileNameOf(picturePath);
    const std::string folder = core::joinPath(core::GetFolderName(picturePath), name + ".dir");
    const std::string dataFile = core::joinPath(folder, name + ".dat");
    if (!core::fileExists(dataFile))
        return core::Error{"no saved results: " + dataFile + " not found"};
    auto files = results::readResultFiles(dataFile + ".ini", dataFile);
    if (!files) return core::Error{files.error()};

    PictureCatalogue out;
    Catalogue& c = out.catalogue;
    c.pictureHeight = files->imageHeightP;
    for (const results::ResultRecord& r : files->records) c.records.push_back(fromResult(r, name));
    if (!formats::isFitsFile(picturePath)) return out;

    c.fitsColumns = true;
    auto sky = formats::FitsSky::read(picturePath);
    if (!sky) {
        out.incomplete.push_back("no ra and dec: " + sky.error());
        return out;
    }
    if (c.pictureHeight <= 0) c.pictureHeight = static_cast<int32_t>(sky->naxis2());
    if (sky->naxis2() != c.pictureHeight)
        return core::Error{"the results are of a picture of " + std::to_string(c.pictureHeight) +
                           " rows, but " + picturePath + " has " + std::to_string(sky->naxis2()) +
                           " (NAXIS2)"};
    if (!sky->hasCelestialWcs()) {
        if (!sky->wcsProblem().empty())
            out.incomplete.push_back("no ra and dec: " + sky->wcsProblem());
        return out;
    }
    c.skyColumns = true;
    for (CatalogueRecord& r : c.records)
        r.sky = sky->toSky(formats::toFitsPixel(r.x, r.y, c.pictureHeight));
    return out;
}

}  // namespace orv::catalogue
