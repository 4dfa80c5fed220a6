#pragma once
// FITS pictures through CFITSIO.
//
// The picture is the primary HDU, or the first image extension when the primary HDU holds no
// data (NAXIS = 0). Of a cube (NAXIS >= 3) the first plane is read, or the first three as R,
// G, B when the third axis has exactly 3 planes (and any further axis 1). BZERO and BSCALE are
// applied; BLANK and NaN pixels are missing. FITS row 1 is the bottom row: picture row 0 (at
// the top) is FITS row NAXIS2, so FITS pixel (i, j) is picture pixel (i - 1, NAXIS2 - j).

#include <string>

#include "core/result.h"
#include "form/picture.h"
#include "formats/stretch.h"

namespace orv::formats {

// Whether the path names a FITS file: it starts with "SIMPLE  =", or its name ends in .fits,
// .fit or .fts (any case; such a file that is no FITS file is then refused as one).
bool isFitsFile(const std::string& path);

// The samples of the picture, 16-bit samples (BITPIX 8 and 16 without BLANK) with BZERO and
// BSCALE as offset and scale, float samples (BITPIX 32, -32, and 8 or 16 with BLANK) or double
// samples (BITPIX 64, -64) with the values themselves, missing pixels NaN. Refuses, with a
// message naming the file and the reason: a file CFITSIO cannot open, an unsupported BITPIX,
// no HDU with data (a header-only file), fewer than two axes or an empty axis, a data unit
// shorter than its header announces, a compressed image CFITSIO cannot expand, a picture too
// large for the memory. `pump` is called once per row read.
core::Result<form::DeepSamples> readFits(const std::string& path, const Pump& pump = {});

// Whether the picture stands in the primary HDU, as the program's own scan of the primary
// header (to its END card) finds: NAXIS is 1 or more. CFITSIO then parses that header only.
// False for a file whose picture is in an extension (a tile-compressed image is a binary
// table), whose headers CFITSIO parses with code that damaged tables have been seen to crash;
// readPictureFile and FitsSky read such a file in the helper program (formats/
// guarded_decode.h). True for what is refused before CFITSIO sees it (no regular file, no
// "SIMPLE  =" at the start).
bool fitsPictureInPrimary(const std::string& path);

}  // namespace orv::formats
