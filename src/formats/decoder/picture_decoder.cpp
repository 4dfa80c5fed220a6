#include "formats/decoder/picture_decoder.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QRgba64>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/paths.h"

// Decoding a picture file: the checks of formats/guarded_picture.h (and its reader of
// run-length compressed BMPs), then Qt's readers for everything else; pictures with more than
// 8 bits per channel keep their samples for the stretch.

namespace orv::formats {

namespace {

std::string_view bytesOf(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<size_t>(bytes.size())};
}

// The samples of a picture with more than 8 bits per channel, kept for the stretch: 16-bit
// grey or colour as 16-bit samples, floating-point colour as float samples. A colour picture
// whose channels are equal everywhere becomes one grey plane. Nothing for 8-bit pictures.
std::shared_ptr<const form::DeepSamples> deepSamples(const QImage& image) {
    const QImage::Format f = image.format();
    const bool grey16 = f == QImage::Format_Grayscale16;
    const bool rgb16 = f == QImage::Format_RGBX64 || f == QImage::Format_RGBA64 ||
                       f == QImage::Format_RGBA64_Premultiplied;
    const bool floating = f == QImage::Format_RGBX16FPx4 || f == QImage::Format_RGBA16FPx4 ||
                          f == QImage::Format_RGBA16FPx4_Premultiplied ||
                          f == QImage::Format_RGBX32FPx4 || f == QImage::Format_RGBA32FPx4 ||
                          f == QImage::Format_RGBA32FPx4_Premultiplied;
    if (!grey16 && !rgb16 && !floating) return nullptr;
    auto d = std::make_shared<form::DeepSamples>();
    d->width = image.width();
    d->height = image.height();
    const size_t w = static_cast<size_t>(d->width), h = static_cast<size_t>(d->height);
    if (grey16) {
        std::vector<uint16_t> v(w * h);
        for (size_t y = 0; y < h; ++y) {
            const auto* in = reinterpret_cast<const uint16_t*>(image.constScanLine(int(y)));
            std::copy(in, in + w, v.begin() + static_cast<ptrdiff_t>(y * w));
        }
        d->samples = std::move(v);
        return d;
    }
    // Colour: R, G, B planes, or one plane when the picture is grey.
    auto planes = [&](const QImage& img, auto sample, auto zero) {
        using T = decltype(zero);
        bool grey = true;
        for (size_t y = 0; y < h && grey; ++y)
            for (size_t x = 0; x < w && grey; ++x) {
                const T r = sample(img, x, y, 0);
                grey = r == sample(img, x, y, 1) && r == sample(img, x, y, 2);
            }
        d->channels = grey ? 1 : 3;
        std::vector<T> v(w * h * static_cast<size_t>(d->channels));
        for (size_t c = 0; c < static_cast<size_t>(d->channels); ++c)
            for (size_t y = 0; y < h; ++y)
                for (size_t x = 0; x < w; ++x) v[(c * h + y) * w + x] = sample(img, x, y, int(c));
        d->samples = std::move(v);
    };
    if (rgb16) {
        const QImage img = image.convertToFormat(QImage::Format_RGBX64);
        planes(
            img,
            [](const QImage& i, size_t x, size_t y, int c) -> uint16_t {
                const QRgba64 p = reinterpret_cast<const QRgba64*>(i.constScanLine(int(y)))[x];
                return c == 0 ? p.red() : c == 1 ? p.green() : p.blue();
            },
            uint16_t{});
    } else {
        const QImage img = image.convertToFormat(QImage::Format_RGBX32FPx4);
        planes(
            img,
            [](const QImage& i, size_t x, size_t y, int c) -> float {
                return reinterpret_cast<const float*>(i.constScanLine(int(y)))[4 * x + size_t(c)];
            },
            float{});
    }
    return d;
}

}  // namespace

core::Result<form::Picture> pictureFromImage(const QImage& image) {
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        return core::Error{"画像が空です。"};
    auto held = std::make_shared<QImage>(image.format() == QImage::Format_RGB32
                                             ? image
                                             : image.convertToFormat(QImage::Format_RGB32));
    if (held->isNull()) return core::Error{"画像を変換するためのメモリーが足りません。"};
    form::Picture p;
    p.width = held->width();
    p.height = held->height();
    p.bits = held->constBits();
    p.stride = static_cast<size_t>(held->bytesPerLine());
    p.layout = form::PixelLayout::Bgrx8888;
    p.owner = held;
    return p;
}

core::Result<form::Picture> decodePictureFileWithLimit(const std::string& path,
                                                       int allocationLimitMb) {
    if (const std::string reason = core::unreadableFileReason(path, "画像ファイル");
        !reason.empty())
        return refusedPicture(path, reason);
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return refusedPicture(path, file.errorString().toStdString());
    const QByteArray head = file.peek(64);

    std::optional<QByteArray> whole;  // the file's bytes, where a check needs them all
    if (const auto bmp = bmpHeader(bytesOf(head))) {
        if (auto own = ownBmpRead(path, file.size(), *bmp, allocationLimitMb))
            return std::move(*own);
    } else if (head.size() >= 2 && static_cast<uint8_t>(head[0]) == 0xFF &&
               static_cast<uint8_t>(head[1]) == 0xD8) {
        whole = file.readAll();
        if (jpegCut(bytesOf(*whole))) return refusedPicture(path, "ファイルが途中で切れています");
    }

    QBuffer buffer;
    if (whole) {
        buffer.setData(*whole);
        buffer.open(QIODevice::ReadOnly);
    }
    QImageReader reader;
    reader.setDevice(whole ? static_cast<QIODevice*>(&buffer) : &file);
    reader.setAutoTransform(false);
    // Qt refuses pictures above 256 MB by default; astronomical pictures are often larger.
    reader.setAllocationLimit(allocationLimitMb);
    QImage image;
    if (!reader.read(&image)) return refusedPicture(path, reader.errorString().toStdString());
    if (auto deep = deepSamples(image)) {
        form::Picture p;
        p.width = deep->width;
        p.height = deep->height;
        p.deep = std::move(deep);
        return p;
    }
    return pictureFromImage(image);
}

core::Result<form::Picture> decodePictureFile(const std::string& path) {
    return decodePictureFileWithLimit(path, kDefaultAllocationLimitMb);
}

uint64_t declaredPicturePixels(const std::string& path) {
    QImageReader reader(QString::fromStdString(path));
    const QSize size = reader.size();
    if (!size.isValid() || size.width() <= 0 || size.height() <= 0) return 0;
    return static_cast<uint64_t>(size.width()) * static_cast<uint64_t>(size.height());
}

}  // namespace orv::formats
