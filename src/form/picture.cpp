#include "form/picture.h"

namespace orv::form {

Picture Picture::fromRgb(int width, int height, std::shared_ptr<const std::vector<uint8_t>> rgb) {
    Picture p;
    p.width = width;
    p.height = height;
    p.bits = rgb->data();
    p.stride = static_cast<size_t>(width) * 3;
    p.layout = PixelLayout::Rgb888;
    p.owner = std::move(rgb);
    return p;
}

}  // namespace orv::form
