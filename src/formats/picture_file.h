#pragma once
// Every picture file the program opens, brought to 8-bit levels: FITS through CFITSIO, every
// other format through the host's decoder, and deep samples (FITS, 16-bit PNG or TIFF)
// stretched (formats/stretch.h). A picture of 8-bit levels (BMP, JPEG) is never stretched.

#include <functional>
#include <string>

#include "core/result.h"
#include "form/host.h"
#include "form/picture.h"
#include "formats/stretch.h"

namespace orv::formats {

// The open dialogs' filters of picture files: BMP and JPEG, FITS, 16-bit PNG and TIFF.
inline constexpr const char* kPictureFilter =
    "ピクチャ(*.bmp,*.jpg)|*.bmp;*.jpg|FITS(*.fits;*.fit;*.fts)|*.fits;*.fit;*.fts"
    "|16ビット PNG・TIFF(*.png;*.tif;*.tiff)|*.png;*.tif;*.tiff";

// Decodes a picture file that is no FITS file (the host's decoder).
using PictureDecoder = std::function<core::Result<form::Picture>(const std::string& path)>;

struct LevelPicture {
    form::Picture picture;  // 8-bit levels
    // The stretch applied, as its text ("" for a picture that had 8-bit levels), and the
    // black and white points it found.
    std::string stretch;
    StretchPoints points;
};

// Reads the file and stretches deep samples with `stretchSetting` (parseStretch's text; ""
// is the standard stretch). A FITS picture in an extension (a tile-compressed image among them)
// is read in the helper program (formats/guarded_decode.h), so that CFITSIO's faults on damaged
// data are refusals. Fails with the
// decoder's message, or with the stretch's when the setting is wrong or the picture has nothing to
// stretch. The deep samples are given back before this returns. `pump` is called now and then.
core::Result<LevelPicture> readPictureFile(form::Host& host, const std::string& path,
                                           const std::string& stretchSetting,
                                           const Pump& pump = {});
// The same with a decoder of its own for the files that are no FITS files.
core::Result<LevelPicture> readPictureFile(const PictureDecoder& decoder, const std::string& path,
                                           const std::string& stretchSetting,
                                           const Pump& pump = {});

// The same for a picture already decoded.
core::Result<LevelPicture> toLevels(form::Picture decoded, const std::string& stretchSetting,
                                    const Pump& pump = {});

// The stretch of a deep picture as the log and the windows show it:
// "percentile:0.1,99.9 黒 4821 白 38112".
std::string stretchDescription(const std::string& stretch, StretchPoints points);

}  // namespace orv::formats
