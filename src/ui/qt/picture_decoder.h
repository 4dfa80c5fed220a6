#pragma once
// Picture decoding and the clipboard picture through Qt's image readers.

#include <string>

#include "core/result.h"
#include "ui/picture.h"

class QImage;

namespace orv::qt {

// Decodes a picture file Qt reads: 8-bit pictures (BMP, JPEG, ...) into 8-bit RGB; pictures
// with more than 8 bits per channel (16-bit PNG or TIFF) into their samples (Picture::deep),
// which the stretch brings to 8 bits.
core::Result<ui::Picture> decodePictureFile(const std::string& path);
// Wraps a QImage as a picture (converting it to 32-bit RGB when needed).
core::Result<ui::Picture> pictureFromImage(const QImage& image);

}  // namespace orv::qt
