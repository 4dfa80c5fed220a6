#pragma once
// BMP files of any size that fits memory, without the desktop toolkit: a reader that streams
// the rows of an uncompressed 24-bit or 32-bit file straight into one RGB buffer, and the
// 24-bit writer of the tile files.
//
// File layout (all numbers little-endian):
//
//   offset  size  BITMAPFILEHEADER
//        0     2  "BM"
//        2     4  file size (not trusted)
//       10     4  offset of the pixel rows
//           BITMAPINFOHEADER (40 bytes) or a later variant (52, 56, 108, 124 bytes)
//       14     4  header size
//       18     4  width
//       22     4  height (negative: rows top-down)
//       28     2  bits per pixel
//       30     4  compression: 0 BI_RGB, 3 BI_BITFIELDS (6 with alpha)
//       54    12  red, green and blue masks of BI_BITFIELDS (inside the later headers, after
//                 the 40-byte one)
//
// Rows are padded to a multiple of 4 bytes; 24-bit pixels are B, G, R; 32-bit BI_RGB pixels are
// B, G, R, X.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "core/result.h"
#include "form/picture.h"

namespace orv::formats {

// Called after every row read with the rows done and the picture's height, so that the
// caller can yield to the event queue and show progress.
using RowProgress = std::function<void(int rowsDone, int rows)>;

struct BmpRead {
    enum class Status {
        Ok,          // `picture` holds the pixels
        NotHandled,  // not a BMP, or a variant this reader leaves to the toolkit (palettes,
                     // 16 bits, compression, OS/2 headers, masks that are not whole bytes)
        Failed,      // a BMP of a handled variant that cannot be read; `error` says why
    };
    Status status = Status::Failed;
    form::Picture picture;  // 8-bit R, G, B, tightly packed, top row first
    std::string error;
};

// Reads an uncompressed 24-bit or 32-bit BMP (BI_RGB, or BI_BITFIELDS with one whole byte per
// channel) of any size. The memory taken is the picture's RGB size; a picture that the
// system cannot hold, a size that is not positive, or a file shorter than its rows fails
// before anything is allocated. `name` names the file in messages.
// `begun`, when given, is called once the checks have passed and the memory is taken, before the
// first row is read, with the picture that will hold the rows (sharing its memory) and whether
// they come bottom row first: a caller on another thread may use each row once `progress` has
// counted it (rows done, from the top or from the bottom).
using BmpBegun = std::function<void(const form::Picture& picture, bool bottomFirst)>;
BmpRead readBmp(std::FILE* file, const std::string& name, const RowProgress& progress = {},
                const BmpBegun& begun = {});
BmpRead readBmpFile(const std::string& path, const RowProgress& progress = {},
                    const BmpBegun& begun = {});

// How a BMP file that readBmp reads stores its pixels: 3 bytes B, G, R, or 4 bytes whose R, G
// and B are the bytes at the given bit shifts of the little-endian word.
struct BmpPixels {
    int width = 0, height = 0;
    bool topDown = false;  // file row r is picture row r (else height - 1 - r)
    int bytesPerPixel = 3;
    int shiftR = 16, shiftG = 8, shiftB = 0;  // of a 32-bit pixel
};
// Called on the thread of part `part` with each block of its file rows as read: `rows` holds
// `count` file rows from file row `first` on, `rowBytes` apart.
using BmpRowBlock =
    std::function<void(int part, const uint8_t* rows, size_t rowBytes, int first, int count)>;

// The rows of the file readBmpFile reads, block by block as they are read, for a caller that
// converts them itself, so that the picture is never held as R, G, B. The checks are readBmp's;
// `start` is called after them, before the first block, and may refuse (false: the result is
// Failed with an empty error). The file rows are read in `parts` bands of rows at once, as
// core::forEachPart cuts them, each on its own thread in file order (part 0 on the calling
// thread). The picture of the result stays empty.
BmpRead streamBmpFile(const std::string& path, const std::function<bool(const BmpPixels&)>& start,
                      const BmpRowBlock& block, int parts = 1);

// Writes the picture as a 24-bit BMP (BITMAPINFOHEADER, BI_RGB, rows bottom-up, 72 dpi),
// anew: an existing file is replaced only once the new one is complete. Fails with a message
// naming the file.
core::Result<void> writeBmp24(const std::string& path, const form::Picture& picture);

}  // namespace orv::formats
