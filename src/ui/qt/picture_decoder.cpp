#include "ui/qt/picture_decoder.h"

#include <QImage>
#include <QImageReader>
#include <memory>

namespace orv::qt {

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
    QImageReader reader(QString::fromStdString(path));
    reader.setAutoTransform(false);
    // Qt refuses pictures above 256 MB by default; astronomical pictures are often larger.
    reader.setAllocationLimit(4096);
    QImage image;
    if (!reader.read(&image))
        return core::Error{"画像を読み込めません: " + path + " (" +
                           reader.errorString().toStdString() + ")"};
    return pictureFromImage(image);
}

core::Result<void> writeBmp(const std::string& path, const ui::Picture& picture) {
    QImage image(picture.width, picture.height, QImage::Format_RGB888);
    if (image.isNull()) return core::Error{"メモリーが足りません。"};
    for (int y = 0; y < picture.height; ++y) {
        const uint8_t* in = picture.row(y);
        uchar* out = image.scanLine(y);
        for (int x = 0; x < picture.width; ++x) {
            if (picture.layout == ui::PixelLayout::Rgb888) {
                out[3 * x] = in[3 * x], out[3 * x + 1] = in[3 * x + 1],
                        out[3 * x + 2] = in[3 * x + 2];
            } else {
                out[3 * x] = in[4 * x + 2], out[3 * x + 1] = in[4 * x + 1],
                        out[3 * x + 2] = in[4 * x];
            }
        }
    }
    if (!image.save(QString::fromStdString(path), "BMP"))
        return core::Error{"BMP ファイルを書き込めません: " + path};
    return {};
}

}  // namespace orv::qt
