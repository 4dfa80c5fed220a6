#pragma once
// The big picture of the division window: loading it whatever its size, cutting tiles out of
// it and the scaled preview. The picture is held once, as the reader gives it; tiles and the
// preview are small copies.

#include <string>

#include "core/result.h"
#include "form/picture.h"
#include "formats/bmp_stream.h"
#include "formats/picture_file.h"
#include "tiles/geometry.h"

namespace orv::tiles {

// Loads a picture of any size as 8-bit levels: uncompressed 24-bit and 32-bit BMPs with the
// streaming reader (memory: the picture's RGB size), FITS files with CFITSIO, every other file
// with `decoder` (the toolkit's: JPEG, the other BMP variants, 16-bit PNG and TIFF, as large
// as it allows). A picture deeper than 8 bits is stretched once as a whole with
// `stretchSetting` (formats/stretch.h), so that every tile cut from it has the same levels;
// its samples are given back before this returns (memory: the samples and the 8-bit picture,
// one byte a pixel for grey). Rows are as the main window shows them: FITS row 1 at the
// bottom. `progress` follows the rows of a streamed BMP, `pump` is called now and then while a
// deep picture is read and stretched; `begun` hands out a streamed BMP before its rows are read
// (formats::readBmp). Fails with a message naming the file.
core::Result<formats::LevelPicture> loadBigPicture(const std::string& path,
                                                   const formats::PictureDecoder& decoder,
                                                   const std::string& stretchSetting,
                                                   const formats::RowProgress& progress = {},
                                                   const formats::Pump& pump = {},
                                                   const formats::BmpBegun& begun = {});

// The pixels of `square` (big-picture pixels) as a new tightly packed RGB picture of
// square.side x square.side; the part outside the big picture is black. The side must be
// positive (see checkSettings).
form::Picture cutTile(const form::Picture& big, const PixelSquare& square);
// The same for a rectangle of width x height (both positive).
form::Picture cutTile(const form::Picture& big, const PixelRect& rect);
// A rectangle that lies wholly inside the picture, as a picture that shares the big picture's
// pixels (its layout, rows `stride` apart, keeping the big picture's memory alive): no copy.
form::Picture tileView(const form::Picture& big, const PixelRect& rect);

// The whole picture scaled down (or up) to width x height, each preview pixel the mean of the
// picture pixels whose centres it covers (the nearest pixel when it covers none). One pass
// over the picture; `progress` follows its rows. Rows are summed byte by byte where a row has
// at most `maxRowSumBytes` bytes, else per preview pixel (no memory the size of a row).
inline constexpr size_t kMaxRowSumBytes = size_t{64} << 20;
form::Picture scaledPreview(const form::Picture& big, int width, int height,
                            const formats::RowProgress& progress = {},
                            size_t maxRowSumBytes = kMaxRowSumBytes);

}  // namespace orv::tiles
