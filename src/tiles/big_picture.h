#pragma once
// The big picture of the division window: loading it whatever its size, cutting tiles out of
// it and the scaled preview. The picture is held once, as the reader gives it; tiles and the
// preview are small copies.

#include <functional>
#include <string>

#include "core/result.h"
#include "formats/bmp_stream.h"
#include "tiles/geometry.h"
#include "ui/picture.h"

namespace orv::tiles {

using PictureDecoder = std::function<core::Result<ui::Picture>(const std::string&)>;

// Loads a picture of any size: uncompressed 24-bit and 32-bit BMPs with the streaming reader
// (memory: the picture's RGB size), every other file with `decoder` (the toolkit's: JPEG and
// the other BMP variants, as large as it allows). `progress` follows the rows of a streamed
// BMP. Fails with a message naming the file.
core::Result<ui::Picture> loadBigPicture(const std::string& path, const PictureDecoder& decoder,
                                         const formats::RowProgress& progress = {});

// The pixels of `square` (big-picture pixels) as a new tightly packed RGB picture of
// square.side x square.side; the part outside the big picture is black. The side must be
// positive (see checkSettings).
ui::Picture cutTile(const ui::Picture& big, const PixelSquare& square);

// The whole picture scaled down (or up) to width x height, each preview pixel the mean of the
// picture pixels whose centres it covers (the nearest pixel when it covers none). One pass
// over the picture; `progress` follows its rows.
ui::Picture scaledPreview(const ui::Picture& big, int width, int height,
                          const formats::RowProgress& progress = {});

}  // namespace orv::tiles
