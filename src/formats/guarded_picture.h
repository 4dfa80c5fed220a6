#pragma once
// Reading a picture file as the program reads pictures from outside: what the program's own
// readers handle (the path checks, the BMP header checks, run-length compressed BMPs,
// uncompressed 24-bit and 32-bit BMPs through the streaming reader of formats/bmp_stream.h) in
// this process, every other file in the helper program (formats/guarded_decode.h), so that a
// fault of the toolkit's readers or the libraries under them (libjpeg, libpng, libtiff) on a
// damaged file is a refusal with its reason. Nothing here needs the toolkit, so a program that
// reads pictures only this way (the command line, the Python module) does not load it.
//
// The checks are shared with the toolkit's decoder (formats/decoder/picture_decoder.h):
//   1. the path must name a readable regular file (a FIFO would block, a folder is no picture);
//   2. BMP: the header must announce a bit depth the format has, and an uncompressed file must
//      hold every row it announces; run-length compressed files (RLE8, RLE4) are decoded here,
//      so that pixels the runs skip are black rather than whatever memory held before;
//   3. JPEG: the coded data must reach its end marker (a cut file is refused, not completed).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/result.h"
#include "form/picture.h"
#include "formats/picture_file.h"

namespace orv::formats {

// The toolkit's readers refuse pictures above 256 MB by default; astronomical pictures are
// often larger.
inline constexpr int kDefaultAllocationLimitMb = 4096;

// The header fields of a BMP file that the checks need.
struct BmpHeader {
    uint32_t dataOffset = 0;
    uint32_t infoSize = 0;
    int64_t width = 0, height = 0;  // height < 0: rows top-down
    uint32_t bits = 0;
    uint32_t compression = 0;
    uint32_t colours = 0;  // palette entries announced (0: as many as the bit depth gives)
};

// The header of a BMP file from its first bytes (64 are enough), or nothing when the bytes are
// no BMP this program checks.
std::optional<BmpHeader> bmpHeader(std::string_view head);

// Whether the coded data of a JPEG file stops before its end marker.
bool jpegCut(std::string_view file);

// "画像を読み込めません: PATH (REASON)".
core::Error refusedPicture(const std::string& path, const std::string& reason);

// The program's own checks of a BMP of `fileSize` bytes and its own reader of run-length
// encoded ones: a refusal or the picture, or nothing when the file is left to the other
// readers.
std::optional<core::Result<form::Picture>> ownBmpRead(const std::string& path, int64_t fileSize,
                                                      const BmpHeader& bmp, int allocationLimitMb);

// Decodes a picture file as described above; `pump` is called while the helper works.
core::Result<form::Picture> decodePictureFileGuarded(
    const std::string& path, int allocationLimitMb = kDefaultAllocationLimitMb,
    const std::function<void()>& pump = {});
// decodePictureFileGuarded with its standard limit, as the programs hand it to the engine.
PictureDecoder guardedDecoder();

}  // namespace orv::formats
