#pragma once
// The measurements saved with a result pair: "NAME.dat.meas" beside "NAME.dat", CR LF lines:
//
//   # unit = adu                      what the measurements share, "# key = value" lines:
//   # samples = samples               unit, samples ("samples" or "levels"), noise_sigma,
//   # noise_sigma = 3.2               saturation, gain, filter (those known)
//   star,background,flux_iso,flux,flux_err,flux_radius,peak,snr,fwhm,a,b,theta,ellipticity,flags
//   12,1003.2,5310.7,6120.4,35.1,8.46,812.3,174.4,2.82,1.21,1.18,-31.2,0.0248,0
//
// then one line per line of the record file, in its order, for the same result numbers. An
// empty field is a value not measured. Numbers have up to 7 significant digits.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/measure_records.h"
#include "core/result.h"
#include "core/text_file.h"
#include "core/workspace.h"

namespace orv::catalogue::measure {

inline constexpr const char* kMeasureHeader =
    "star,background,flux_iso,flux,flux_err,flux_radius,peak,snr,fwhm,a,b,theta,ellipticity,"
    "flags";

// The sidecar of a record file: dataFile & ".meas".
std::string measureFilePath(const std::string& dataFile);

// The flags a result has now: the measured bits kept, the hand-edit bits (16 deleted or
// noise-released, 32 added) from its records. -1 (nothing known) for a result neither
// measured nor added by hand.
int32_t currentFlags(const core::ClusterRec& c, int32_t measured);

// The lines of the sidecar for the results the record file holds (resultDataLines' order),
// with the measurements of ws.measures.
std::vector<std::string> measureFileLines(const core::Workspace& ws);

// A number as the sidecar and the catalogues write it: up to 7 significant digits, "" for
// NaN or infinity.
std::string measureText(double v);

// A sidecar as read: the records by result number and the shared values.
// Fails with a message naming the line when a line is damaged (wrong field count, a number
// that is not one, a result number outside 1..50000, flags outside 0..63).
core::Result<core::MeasureTable> parseMeasureText(std::string_view text);
core::Result<core::MeasureTable> readMeasureFile(const std::string& path);

// The measurements saved with a pair just read from the record file `dataFile`. `summed`: the
// pair was checked against its sum file, which named the further files `summedWith` (name,
// bytes as checked); the sidecar is then the one it checked, and a pair whose sum file names
// none was saved without measurements (a sidecar lying there belongs to other results).
// Without a sum file, the sidecar beside the record file. Nothing when the pair has no
// measurements; fails with a message naming the file when they are damaged.
core::Result<std::optional<core::MeasureTable>> readSavedMeasures(
    bool summed, const std::vector<core::FileBytes>& summedWith, const std::string& dataFile);

}  // namespace orv::catalogue::measure
