#pragma once
// The window's 書き出し: the shown picture's results, as they stand (edits included), written as
// a catalogue through a save dialog that remembers its folder.

#include "catalogue/picture_catalogue.h"
#include "form/context.h"

namespace orv::catalogue {

// The filter of the export dialog, ECSV first.
inline constexpr const char* kExportFilter =
    "ECSV(*.ecsv)|*.ecsv|CSV(*.csv)|*.csv|FITS(*.fits)|*.fits|DS9(*.reg)|*.reg";

// The metadata of the working state's catalogue: the picture's name, the program version, the
// settings, the stretch that made the levels and the measurements' picture values.
CatalogueMeta workspaceMeta(const core::Workspace& ws, const std::string& picture,
                            const std::string& programVersion);

// The catalogue of the working state: every result the record file would hold, in its order,
// with the measurements brought up to date (catalogue/measure) and, for a FITS picture, the
// FITS pixel columns and RA and Dec. What is missing is said in `incomplete`.
PictureCatalogue workspaceCatalogue(form::Ctx& ctx);

// Button "書き出し": asks for a file (.ecsv, .csv, .fits or .reg) starting in the folder last
// written to (else the picture's), writes the catalogue in the format of its extension and
// says in a box how many results went where, or why nothing was written.
void cmdExport_Click(form::Ctx& ctx);

}  // namespace orv::catalogue
