#pragma once
// PSF entries: adopting the profile shown (採用), starting anew (新規), and saving and reading
// the pair PSFData.txt / PSFData.ini (保存, 読込) in the working folder. The count PSFDataNo,
// the mean PSFsd and the spread PSFsdd always describe the entries the table holds.

#include <string>

#include "core/result.h"
#include "form/context.h"
#include "psf/records.h"

namespace orv::psf {

// What adopting the current profile did.
enum class Adoption {
    Added,          // a new entry
    Full,           // the table holds 100 entries: nothing added
    NoProfile,      // no profile of PSFStarNo's own (none computed, near the edge, not fitted)
    TableUnusable,  // a read was refused for its count: "新規" must make the table anew
};

// Step 1 of 採用 and the averages: adds the current profile (PSFStarNo, its centroid, the
// settings, PSFSigma and PSFPeak, the picture's folder and name, Mark 1) when it is the star's
// own and the table has room, then recomputes PSFsd and PSFsdd (0 when there is no entry).
Adoption adoptProfile(core::Workspace& ws);
// PSFsd and PSFsdd of the entries 1..PSFDataNo, in single precision.
void updateAverages(PsfState& state);

// The folder of the PSF files: WorkPath, or the program's own folder when WorkPath is empty.
std::string psfFolder(const core::Workspace& ws);

// Button 採用: adopts the profile shown and shows the count, mean and spread; says why when it
// adds nothing.
void cmdPSFEntry_Click(form::Ctx& ctx);
// Button 新規: after a confirmation, an empty table (count, mean and spread 0, labels "----").
void cmdPSFEntryClear_Click(form::Ctx& ctx);
// Button 保存: writes both files into psfFolder(); a failure is said and nothing is replaced.
void cmdPSFSave_Click(form::Ctx& ctx);
// Button 読込: chooses a PSFData.ini and reads it with its PSFData.txt.
void cmdPSFRead_Click(form::Ctx& ctx);

// Writes both files; gives the folder written to.
core::Result<std::string> OV_SavePSFData(form::Ctx& ctx);
// Reads the pair of `folder` when `fileName` is PSFData.ini (any letter case). A pair that
// cannot be read changes nothing; one whose count differs from DataNo leaves an empty table
// that only 新規 makes usable again.
void OV_ReadPSFData(form::Ctx& ctx, const std::string& folder, const std::string& fileName);

}  // namespace orv::psf
