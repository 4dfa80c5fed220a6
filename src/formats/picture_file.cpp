#include "formats/picture_file.h"

#include <memory>
#include <new>

#include "formats/fits.h"
#include "formats/guarded_decode.h"

namespace orv::formats {

core::Result<LevelPicture> toLevels(form::Picture decoded, const std::string& stretchSetting,
                                    const Pump& pump) {
    if (!decoded.deep) return LevelPicture{std::move(decoded), "", {}};
    const std::shared_ptr<const form::DeepSamples> deep = std::move(decoded.deep);
    decoded = form::Picture{};
    auto stretch = parseStretch(stretchSetting);
    if (!stretch) return core::Error{stretch.error()};
    auto points = findStretchPoints(*deep, stretch.value(), pump);
    if (!points) return core::Error{points.error()};
    try {
        return LevelPicture{applyStretch(*deep, points.value(), pump), stretchText(stretch.value()),
                            points.value()};
    } catch (const std::bad_alloc&) {
        return core::Error{"ストレッチした画像のためのメモリーが足りません。"};
    }
}

core::Result<LevelPicture> readPictureFile(form::Host& host, const std::string& path,
                                           const std::string& stretchSetting, const Pump& pump) {
    return readPictureFile([&host](const std::string& p) { return host.decodePicture(p); }, path,
                           stretchSetting, pump);
}

core::Result<LevelPicture> readPictureFile(const PictureDecoder& decoder, const std::string& path,
                                           const std::string& stretchSetting, const Pump& pump) {
    if (!isFitsFile(path)) {
        if (!decoder) return core::Error{"画像を読み込めません: " + path};
        auto decoded = decoder(path);
        if (!decoded) return core::Error{decoded.error()};
        return toLevels(std::move(decoded.value()), stretchSetting, pump);
    }
    if (!fitsPictureInPrimary(path)) {
        // A picture in an extension (a tile-compressed image among them): CFITSIO's parsing of
        // the headers before it and its decompression run in the helper.
        HelperRequest request;
        request.reader = HelperReader::Fits;
        request.pump = pump;
        auto decoded = decodeInHelper(path, request);
        if (!decoded) return core::Error{decoded.error()};
        return toLevels(std::move(decoded.value()), stretchSetting, pump);
    }
    auto samples = readFits(path, pump);
    if (!samples) return core::Error{samples.error()};
    form::Picture deep;
    deep.width = samples->width;
    deep.height = samples->height;
    deep.deep = std::make_shared<const form::DeepSamples>(std::move(samples.value()));
    return toLevels(std::move(deep), stretchSetting, pump);
}

std::string stretchDescription(const std::string& stretch, StretchPoints points) {
    return stretch + " 黒 " + exactText(points.black) + " 白 " + exactText(points.white);
}

}  // namespace orv::formats
