#pragma once
// Measuring the results of the working state, as the result pair is saved, and a single
// result for the information panel.
//
// The samples are the picture's own (catalogue/measure/sample_rows.h): a FITS file's rows read
// again through CFITSIO where the clusters are, a 16-bit PNG or TIFF decoded again and held
// while measuring, or the 8-bit levels of a picture without deeper samples. The clusters'
// pixels come from ClusterMap, which holds them after an extraction; after results are read
// back it holds only small blocks about the centroids, so those results keep the
// measurements read with them (MeasureTable::fromFile) and are never measured anew.

#include <functional>
#include <string>

#include "catalogue/measure/sample_rows.h"
#include "core/measure_records.h"
#include "core/text_file.h"
#include "form/context.h"
#include "results/data_files.h"

namespace orv::catalogue::measure {

// The samples of the working picture (DoFilePath / DoFileName). Fails with a message when
// there is no picture, or when its file cannot be read again or no longer matches its size.
core::Result<PictureSamples> openPictureSamples(form::Ctx& ctx);

// Every result of the tables measured anew. What could not be measured is said in
// `problem`; hand-added results carry their flags only.
core::MeasureTable measureResults(form::Ctx& ctx);
// The same on the samples `open` gives (called once, only when there is a result to measure),
// for a picture the caller holds.
core::MeasureTable measureResults(form::Ctx& ctx,
                                  const std::function<core::Result<PictureSamples>()>& open);

// A fingerprint of the picture and of the results' pixels (the picture loaded, the numbers in
// use, their pixel counts and centroids): what measurements depend on. Hand edits that leave
// the pixels (deleting, releasing noise, notes) keep it.
uint64_t resultsStamp(const core::Workspace& ws);

// ws.measures brought up to date with the tables: measured anew unless they were read with
// the results or were measured for the same fingerprint.
void refreshMeasures(form::Ctx& ctx);

// The measurement of result n now: from ws.measures when they were read with the results or
// are up to date; else measured anew, that result alone where its samples can be read a few
// rows at a time (FITS, 8-bit levels), every result at once where the picture must be decoded
// whole (16-bit PNG, TIFF). Nothing measured when the picture cannot be read.
core::MeasureRec measureResult(form::Ctx& ctx, int32_t n);

// The sidecar to save with the result pair whose record file is `dataFile`, after
// refreshMeasures.
core::FileLines measureFileForSave(form::Ctx& ctx, const std::string& dataFile);
// The files of a save: the pair, and its sidecar unless MeasureOnSave is off.
std::vector<core::FileLines> withMeasureFile(form::Ctx& ctx, std::vector<core::FileLines> pair,
                                             const std::string& dataFile);

// After a save: when some results could not be measured, says so on the message line and in
// the processing log ("＊測光できなかった結果があります: reason"); when nothing was measured
// (MeasureOnSave off), removes a sidecar an earlier save left, which belongs to other results.
void afterSave(form::Ctx& ctx, const std::string& dataFile);

// Takes the sidecar saved with the pair `files` just read from the record file `dataFile`
// (sidecar.h: readSavedMeasures) into ws.measures (none, or one that cannot be read, leaves
// the table empty with the reason in `problem`).
void takeSavedMeasures(core::Workspace& ws, const results::ResultFiles& files,
                       const std::string& dataFile);

}  // namespace orv::catalogue::measure
