#include "support/pictures.h"

#include <memory>

#include "core/settings.h"
#include "input/image_load.h"

namespace orv::test {

form::Picture rgbPicture(int width, int height,
                         const std::function<void(int, int, uint8_t*)>& rgb) {
    auto bytes = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            rgb(x, y, bytes->data() + (static_cast<size_t>(y) * width + x) * 3);
    return form::Picture::fromRgb(width, height, bytes);
}

form::Picture greyPicture(int width, int height, const std::function<int(int, int)>& level) {
    return rgbPicture(width, height, [&](int x, int y, uint8_t* p) {
        p[0] = p[1] = p[2] = static_cast<uint8_t>(level(x, y));
    });
}

form::Picture textPicture(const std::vector<std::string>& rows, int bright, int background) {
    const int h = static_cast<int>(rows.size());
    const int w = h == 0 ? 0 : static_cast<int>(rows[0].size());
    return greyPicture(w, h, [&](int x, int y) {
        char c = rows[y][x];
        if (c == '#') return bright;
        if (c >= '1' && c <= '9') return 10 * (c - '0');
        return background;
    });
}

bool loadPicture(TestApp& app, const form::Picture& picture, const std::string& name) {
    app.host.decoder = [picture](const std::string&) -> core::Result<form::Picture> {
        return picture;
    };
    app.ws.DoFilePath = app.dir.path();
    app.ws.DoFileName = name;
    writeFile(app.dir.file(name), "");  // the file exists, as a real picture would
    return input::cmdDataIn_Click(app.ctx, input::kSourceNamed);
}

void typicalSettings(core::Settings& s) {
    s = core::defaultSettings();
}

}  // namespace orv::test
