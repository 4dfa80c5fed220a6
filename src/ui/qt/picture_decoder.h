#pragma once
// Picture decoding and the clipboard picture through Qt's image readers.

#include <string>

#include "core/result.h"
#include "ui/picture.h"

class QImage;

namespace orv::qt {

// Decodes a BMP or JPEG file (any variant Qt reads) into 8-bit RGB.
core::Result<ui::Picture> decodePictureFile(const std::string& path);
// Wraps a QImage as a picture (converting it to 32-bit RGB when needed).
core::Result<ui::Picture> pictureFromImage(const QImage& image);

}  // namespace orv::qt
