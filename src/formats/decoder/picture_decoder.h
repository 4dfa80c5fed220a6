#pragma once
// Picture decoding and the clipboard picture through Qt's image readers.

#include <cstdint>
#include <string>

#include "core/result.h"
#include "form/picture.h"
#include "formats/guarded_picture.h"
#include "formats/picture_file.h"

class QImage;

namespace orv::formats {

// Decodes a picture file Qt reads: 8-bit pictures (BMP, JPEG, ...) into 8-bit RGB; pictures
// with more than 8 bits per channel (16-bit PNG or TIFF) into their samples (Picture::deep),
// which the stretch brings to 8 bits. Run-length compressed BMPs are decoded here, with the
// pixels they skip black. Refuses, each with its own reason: a path that is missing, a folder,
// not a regular file or not readable; a BMP of a bit depth the format does not have; a BMP or
// JPEG file that is cut short.
core::Result<form::Picture> decodePictureFile(const std::string& path);
// The same with a limit on the memory a picture may take (megabytes).
core::Result<form::Picture> decodePictureFileWithLimit(const std::string& path,
                                                       int allocationLimitMb);
// The pixels the header of a picture file announces (width x height), 0 when Qt cannot tell.
uint64_t declaredPicturePixels(const std::string& path);
// Wraps a QImage as a picture (converting it to 32-bit RGB when needed).
core::Result<form::Picture> pictureFromImage(const QImage& image);

}  // namespace orv::formats
