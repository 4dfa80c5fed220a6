#pragma once
// The result file pair of a picture: "<name>.dat.ini" (settings used, counts) and "<name>.dat"
// (one 25-field line per cluster) in the picture's ".dir" folder, or "clipboard.ini" and
// "clipboard.dat" in the program's folder for a clipboard picture.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/result.h"
#include "core/text_file.h"
#include "extract/records.h"
#include "form/context.h"

namespace orv::results {

struct ResultPaths {
    std::string folder;    // the result folder ("" for a clipboard picture)
    std::string iniFile;   // settings file
    std::string dataFile;  // record file
};
// Where the current picture's results go.
ResultPaths resultPaths(const core::Workspace& ws);

// The 72 lines of the settings file (then, with the detection filter on, its section
// "[DETECT]" with FilterSigma and Siki; for a stretched deep picture, its section "[STRETCH]"
// with Stretch, StretchBlack and StretchWhite), and the record lines.
std::vector<std::string> resultIniLines(const form::Ctx& ctx);
std::vector<std::string> resultDataLines(const core::Workspace& ws);
// One record line of cluster i.
std::string resultDataLine(const core::Workspace& ws, int32_t i);

// Writes both files anew as one unit (both temporary files complete before the old pair is
// replaced, ini first; a failure keeps the old pair), then the sum file, holding the result
// folder's lock (results/pair_sum.h), and logs "■データ保存完了". The measurements
// (catalogue/measure) go with them as a third file, "<record file>.meas", which the sum file
// covers too. A pair on disk holding hand work that the results do not come from is kept as
// ".bak" first.
core::Result<void> OV_SaveData(form::Ctx& ctx);
// Reads a pair back: dataPath is the record file's folder, dataName its name ("x.dat"); the
// settings file is dataName & ".ini" beside it ("clipboard" reads the program folder's pair).
// Refuses damaged files with a message and changes nothing then: wrong field counts, numbers
// that are not numbers or do not fit their field (infinity included), seeds outside the
// picture the settings file names, centroids more than a picture's size outside it. An
// outline with characters other than 0..7 is kept as read (drawing stops at such a character).
core::Result<void> OV_ReadData(form::Ctx& ctx, const std::string& dataPath,
                               const std::string& dataName);

// One record line as read: the cluster number and the fields the file stores.
struct ResultRecord {
    int32_t number = 0;
    extract::ClusterRec cluster;
    extract::StarRec star;
};

// A result pair as read, without touching any working state.
struct ResultFiles {
    core::Settings settings;  // only the detection settings are taken from it
    std::string doFilePath, doFileName;
    int32_t imageWidthP = 0, imageHeightP = 0;  // the picture's size (0 when missing)
    int32_t maxStarNo = 0;
    extract::StarAtrTable starAtrNo{};
    std::vector<ResultRecord> records;  // in the order of the file
    int oddOutlines = 0;                // outlines with characters other than 0..7, kept as read
    bool summed = false;                // the pair's sum file proved it whole (results/pair_sum.h)
    bool restored = false;              // ... after the pair of an interrupted save was put back
    // The checksum of the picture's pixels the results were made from, as the sum file
    // records it (core/checksum.h); nothing without one.
    std::optional<uint32_t> pictureChecksum;
    std::string origin;    // where the results come from (Workspace::ResultsFrom)
    std::string iniBytes;  // the settings file as read (and checked with the pair)
    // The further files the sum file names beside the pair (the measurements,
    // "<record file>.meas"), by name without folder, with the bytes it checked; none without a
    // sum file or when the pair was saved alone.
    std::vector<core::FileBytes> summedWith;
};

// Reads and checks both files of a pair completely. Fails with a message (naming the line and
// the field) when the record file is missing or damaged or the settings file is missing or
// unreadable: wrong field counts, numbers that are not numbers or do not fit their field
// (infinity included), seeds outside the picture the settings file names, centroids more than
// a picture's size outside it. A pair with a sum file must match it (the pair of an
// interrupted save is put back when it does); one without must have the structure of
// PairStructure (results/pair_sum.h). An outline with other characters than 0..7 is kept as
// read.
core::Result<ResultFiles> readResultFiles(const std::string& iniFile, const std::string& dataFile);

// Button "保存": stages 11 -> 12. Asks first (OK / Cancel) when the pair on disk holds hand work
// that the results do not come from; Cancel saves nothing.
void cmdSaveData_Click(form::Ctx& ctx);
// Button "３．結果読込・編集": chooses a ".dat", reads it, reloads its picture and redraws. The
// picture of a tile processed alone (named without ".bmp") is its tile file NAME.bmp.
void cmdReadData_Click(form::Ctx& ctx);

}  // namespace orv::results
