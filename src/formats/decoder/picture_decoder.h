#pragma once
// Picture decoding and the clipboard picture through Qt's image readers.

#include <cstdint>
#include <functional>
#include <string>

#include "core/result.h"
#include "form/picture.h"
#include "formats/picture_file.h"

class QImage;

namespace orv::formats {

// Qt refuses pictures above 256 MB by default; astronomical pictures are often larger.
inline constexpr int kDefaultAllocationLimitMb = 4096;

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
// The same as the program reads pictures from outside: what the program's own readers handle
// (the path checks, the BMP header checks, run-length compressed BMPs, uncompressed 24-bit and
// 32-bit BMPs through the streaming reader of formats/bmp_stream.h) in this process, every other
// file in the helper program (formats/guarded_decode.h), so that a fault of Qt's readers or the
// libraries under them (libjpeg, libpng, libtiff) on a damaged file is a refusal with its
// reason. `pump` is called while the helper works.
core::Result<form::Picture> decodePictureFileGuarded(
    const std::string& path, int allocationLimitMb = kDefaultAllocationLimitMb,
    const std::function<void()>& pump = {});
// decodePictureFileGuarded with its standard limit, as the programs hand it to the engine.
PictureDecoder guardedDecoder();
// The pixels the header of a picture file announces (width x height), 0 when Qt cannot tell.
uint64_t declaredPicturePixels(const std::string& path);
// Wraps a QImage as a picture (converting it to 32-bit RGB when needed).
core::Result<form::Picture> pictureFromImage(const QImage& image);

}  // namespace orv::formats
