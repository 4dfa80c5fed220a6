#pragma once
// Picture decoding and the clipboard picture through Qt's image readers.

#include <string>

#include "core/result.h"
#include "ui/picture.h"

class QImage;

namespace orv::qt {

// Decodes a BMP or JPEG file (any variant Qt reads, and run-length compressed BMPs) into 8-bit
// RGB. Refuses, each with its own reason: a path that is missing, a folder, not a regular file
// or not readable; a BMP of a bit depth the format does not have; a BMP or JPEG file that is
// cut short. Pixels a compressed BMP skips are black.
core::Result<ui::Picture> decodePictureFile(const std::string& path);
// The same with a limit on the memory a picture may take (megabytes).
core::Result<ui::Picture> decodePictureFileWithLimit(const std::string& path,
                                                     int allocationLimitMb);
// Wraps a QImage as a picture (converting it to 32-bit RGB when needed).
core::Result<ui::Picture> pictureFromImage(const QImage& image);

}  // namespace orv::qt
