#pragma once
// Every picture file the program opens, brought to 8-bit levels: FITS through CFITSIO, every
// other format through the host's decoder, and deep samples (FITS, 16-bit PNG or TIFF)
// stretched (formats/stretch.h). A picture of 8-bit levels (BMP, JPEG) is never stretched.

#include <string>

#include "core/result.h"
#include "formats/stretch.h"
#include "ui/host.h"
#include "ui/picture.h"

namespace orv::formats {

struct LevelPicture {
    ui::Picture picture;  // 8-bit levels
    // The stretch applied, as its text ("" for a picture that had 8-bit levels), and the
    // black and white points it found.
    std::string stretch;
    StretchPoints points;
};

// Reads the file and stretches deep samples with `stretchSetting` (parseStretch's text; ""
// is the standard stretch). Fails with the decoder's message, or with the stretch's when the
// setting is wrong or the picture has nothing to stretch. The deep samples are given back
// before this returns. `pump` is called now and then.
core::Result<LevelPicture> readPictureFile(ui::Host& host, const std::string& path,
                                           const std::string& stretchSetting,
                                           const Pump& pump = {});

// The same for a picture already decoded.
core::Result<LevelPicture> toLevels(ui::Picture decoded, const std::string& stretchSetting,
                                    const Pump& pump = {});

}  // namespace orv::formats
