#include "catalogue/picture_catalogue.h"

#include "catalogue/measure/sidecar.h"
#include "core/ini.h"
#include "core/numeric.h"
#include "core/paths.h"
#include "core/picture_folder.h"
#include "core/workspace.h"
#include "formats/fits.h"
#include "formats/fits_sky.h"

namespace orv::catalogue {

std::string savedDataFile(const std::string& picturePath, const std::string& resultRoot) {
    const std::string name = core::fileNameOf(picturePath);
    return core::joinPath(core::resultFolderOf(core::GetFolderName(picturePath), name, resultRoot),
                          name + ".dat");
}

core::Result<results::ResultFiles> readSavedResults(const std::string& picturePath,
                                                    const std::string& resultRoot) {
    const std::string dataFile = savedDataFile(picturePath, resultRoot);
    if (!core::fileExists(dataFile))
        return core::Error{"no saved results: " + dataFile + " not found"};
    return results::readResultFiles(dataFile + ".ini", dataFile);
}

void addSavedMeasures(std::vector<CatalogueRecord>& records, const std::vector<int32_t>& numbers,
                      const results::ResultFiles& files, const std::string& dataFile,
                      CatalogueMeta& meta, std::vector<std::string>& notes,
                      std::vector<std::string>& problems) {
    auto table = measure::readSavedMeasures(files.summed, files.summedWith, dataFile);
    if (!table) {
        problems.push_back("no measurements: " + table.error());
        return;
    }
    if (!table.value()) {
        notes.push_back(
            "no measurements: " + measure::measureFilePath(dataFile) +
            (files.summed ? " is missing or not the one saved with the results" : " not found") +
            " (saved without measuring); the measurement columns are empty");
        return;
    }
    const core::MeasureTable& t = *table.value();
    if (meta.measures.unit.empty()) meta.measures = t.picture;
    for (size_t k = 0; k < records.size() && k < numbers.size(); ++k)
        if (const core::MeasureRec* m = t.find(numbers[k])) records[k].measure = *m;
}

void addPairMeta(const results::ResultFiles& files, CatalogueMeta& meta) {
    const core::IniFile ini = core::IniFile::fromText(files.iniBytes);
    meta.programVersion = ini.get("SYSTEM", "ProgramVersion");
    meta.settings = files.settings;
    meta.stretch = ini.get("STRETCH", "Stretch");
    if (!meta.stretch.empty()) {
        meta.stretchBlack =
            core::parseNumber(ini.get("STRETCH", "StretchBlack")).value_or(core::kNotMeasured);
        meta.stretchWhite =
            core::parseNumber(ini.get("STRETCH", "StretchWhite")).value_or(core::kNotMeasured);
    }
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
    c.meta.wcsFrame = sky->frame();
    if (!sky->hasCelestialWcs()) {
        if (!sky->wcsProblem().empty()) incomplete.push_back("no ra and dec: " + sky->wcsProblem());
        return {};
    }
    c.skyColumns = true;
    for (CatalogueRecord& r : c.records)
        r.sky = sky->toSky(formats::toFitsPixel(r.x, r.y, c.pictureHeight));
    return {};
}

core::Result<PictureCatalogue> readPictureCatalogue(const std::string& picturePath,
                                                    const std::string& resultRoot) {
    auto files = readSavedResults(picturePath, resultRoot);
    if (!files) return core::Error{files.error()};
    PictureCatalogue out;
    Catalogue& c = out.catalogue;
    c.pictureHeight = files->imageHeightP;
    const std::string name = core::fileNameOf(picturePath);
    const std::string dataFile = savedDataFile(picturePath, resultRoot);
    std::vector<int32_t> numbers;
    for (const results::ResultRecord& r : files->records) {
        c.records.push_back(fromResult(r, name));
        numbers.push_back(r.number);
    }
    c.meta.picture = name;
    addPairMeta(files.value(), c.meta);
    addSavedMeasures(c.records, numbers, files.value(), dataFile, c.meta, out.notes,
                     out.incomplete);
    if (formats::isFitsFile(picturePath))
        if (auto added = addFitsColumns(c, picturePath, out.incomplete); !added)
            return core::Error{added.error()};
    return out;
}

}  // namespace orv::catalogue
