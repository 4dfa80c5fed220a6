#include "ui/qt/picture_decoder.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QRgba64>
#include <cstdint>
#include <memory>
#include <vector>

namespace orv::qt {

namespace {

uint32_t le16(const QByteArray& b, int at) {
    return static_cast<uint8_t>(b[at]) | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1]))
                                             << 8;
}

uint32_t le32(const QByteArray& b, int at) {
    return le16(b, at) | le16(b, at + 2) << 16;
}

// Qt's BMP reader fills the rows missing from a truncated file and reports success, so an
// uncompressed BMP (BI_RGB or BI_BITFIELDS) is first checked to hold every row its header
// announces; only the padding of the last row may be missing. Returns the reason when rows are
// missing, "" otherwise (also for other formats, which the reader judges itself).
std::string missingBmpRows(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return "";
    const QByteArray head = file.read(34);
    if (head.size() < 26 || head[0] != 'B' || head[1] != 'M') return "";
    const uint32_t infoSize = le32(head, 14);
    int64_t width = 0, height = 0, bits = 0;
    uint32_t compression = 0;
    if (infoSize == 12) {  // OS/2 BITMAPCOREHEADER
        width = le16(head, 18), height = le16(head, 20), bits = le16(head, 24);
    } else if (infoSize >= 40 && head.size() >= 34) {
        width = static_cast<int32_t>(le32(head, 18));
        height = static_cast<int32_t>(le32(head, 22));
        bits = le16(head, 28);
        compression = le32(head, 30);
    } else {
        return "";
    }
    if (compression != 0 && compression != 3) return "";
    if (width <= 0 || height == 0 || bits <= 0) return "";
    const int64_t rows = height < 0 ? -height : height;
    const int64_t rowBytes = (width * bits + 31) / 32 * 4;
    const int64_t needed = le32(head, 10) + rowBytes * (rows - 1) + (width * bits + 7) / 8;
    if (file.size() < needed) return "ファイルが途中で切れています";
    return "";
}

// The samples of a picture with more than 8 bits per channel, kept for the stretch: 16-bit
// grey or colour as 16-bit samples, floating-point colour as float samples. A colour picture
// whose channels are equal everywhere becomes one grey plane. Nothing for 8-bit pictures.
std::shared_ptr<const ui::DeepSamples> deepSamples(const QImage& image) {
    const QImage::Format f = image.format();
    const bool grey16 = f == QImage::Format_Grayscale16;
    const bool rgb16 = f == QImage::Format_RGBX64 || f == QImage::Format_RGBA64 ||
                       f == QImage::Format_RGBA64_Premultiplied;
    const bool floating = f == QImage::Format_RGBX16FPx4 || f == QImage::Format_RGBA16FPx4 ||
                          f == QImage::Format_RGBA16FPx4_Premultiplied ||
                          f == QImage::Format_RGBX32FPx4 || f == QImage::Format_RGBA32FPx4 ||
                          f == QImage::Format_RGBA32FPx4_Premultiplied;
    if (!grey16 && !rgb16 && !floating) return nullptr;
    auto d = std::make_shared<ui::DeepSamples>();
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

core::Result<ui::Picture> pictureFromImage(const QImage& image) {
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        return core::Error{"画像が空です。"};
    auto held = std::make_shared<QImage>(image.format() == QImage::Format_RGB32
                                             ? image
                                             : image.convertToFormat(QImage::Format_RGB32));
    if (held->isNull()) return core::Error{"画像を変換するためのメモリーが足りません。"};
    ui::Picture p;
    p.width = held->width();
    p.height = held->height();
    p.bits = held->constBits();
    p.stride = static_cast<size_t>(held->bytesPerLine());
    p.layout = ui::PixelLayout::Bgrx8888;
    p.owner = held;
    return p;
}

core::Result<ui::Picture> decodePictureFile(const std::string& path) {
    if (const std::string reason = missingBmpRows(path); !reason.empty())
        return core::Error{"画像を読み込めません: " + path + " (" + reason + ")"};
    QImageReader reader(QString::fromStdString(path));
    reader.setAutoTransform(false);
    // Qt refuses pictures above 256 MB by default; astronomical pictures are often larger.
    reader.setAllocationLimit(4096);
    QImage image;
    if (!reader.read(&image))
        return core::Error{"画像を読み込めません: " + path + " (" +
                           reader.errorString().toStdString() + ")"};
    if (auto deep = deepSamples(image)) {
        ui::Picture p;
        p.width = deep->width;
        p.height = deep->height;
        p.deep = std::move(deep);
        return p;
    }
    return pictureFromImage(image);
}

}  // namespace orv::qt
