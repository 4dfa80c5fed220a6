#pragma once
// The PSF files of a folder, always written together:
//
//   PSFData.txt  one line per entry, 14 comma-separated fields, numbers in their general form,
//                texts in double quotes:
//                  1,12,345.5,678.25,4,2,0,1.53,182.4,1,0,0,"/data/sky","m42.bmp"
//                  no. StarNo CenterX CenterY PSFAnnulus PSFDAnnulus PSFSpare1 Sigma Peak
//                  Mark PSFSpare2 PSFSpare3 DoFilePath DoFileName
//   PSFData.ini  [PSF], Date = yyyy/mm/dd HH:MM:SS, DataNo, PSFsd, PSFsdd (a blank before
//                each non-negative number); only DataNo, PSFsd and PSFsdd are read.

#include <string>
#include <vector>

#include "core/result.h"
#include "form/host.h"
#include "psf/records.h"

namespace orv::psf {

inline constexpr const char* kPsfDataFile = "PSFData.txt";
inline constexpr const char* kPsfIniFile = "PSFData.ini";
// Written last beside them: both files' sizes and checksums and the number of entries
// (core/sum_file.h), so that a pair whose save was interrupted is never read as whole.
inline constexpr const char* kPsfSumFile = "PSFData.sum";

// The lines of the two files for the entries 1..PSFDataNo of `state`.
std::vector<std::string> psfDataLines(const PsfState& state);
std::vector<std::string> psfIniLines(const PsfState& state, const form::DateTime& now);

// Writes both files into `folder` as one unit: both are complete before either replaces its
// old file; on failure the old pair stays as it was. Then PSFData.sum, last; all holding the
// folder's lock, so that two saves into one folder queue.
core::Result<void> writePsfFiles(const std::string& folder, const PsfState& state,
                                 const form::DateTime& now);

// A pair as read, nothing checked against each other yet.
struct PsfFiles {
    std::vector<PSFEntryRec> entries;  // the records of PSFData.txt in order
    int16_t dataNo = 0;                // DataNo of PSFData.ini (ValInt)
    float sd = 0, sdd = 0;             // PSFsd, PSFsdd (ValSng)
    bool restored = false;             // the pair of an interrupted save was put back (PSFData.sum)
};

// Reads the settings file `iniName` of `folder` (PSFData.ini in some letter case) and the
// PSFData.txt beside it (a name differing only in letter case, as a copy from a Windows system
// may have, is taken when PSFData.txt itself is missing). Fails with a message naming the file,
// the line and the field when PSFData.txt is missing or unreadable, when a line does not hold
// 14 fields or a field is not a number that fits it, or when it holds more than 100 records.
// Blank lines are skipped. With a PSFData.sum beside them both files must match it (the pair of
// an interrupted save is put back when that does), else the pair is refused saying why.
core::Result<PsfFiles> readPsfFiles(const std::string& folder,
                                    const std::string& iniName = kPsfIniFile);

// The records of a PSFData.txt text (the work of readPsfFiles on one file's text).
core::Result<std::vector<PSFEntryRec>> parsePsfData(const std::string& text);

}  // namespace orv::psf
